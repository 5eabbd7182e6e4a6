#include "engine/ScriptLine.h"

#include <algorithm>
#include <cctype>

namespace {

using Word = ScriptLine::Word;
using Joint = ScriptLine::Joint;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The characters that end a bare word: blanks and the shell's operators.
bool endsWord(char c) {
    return isBlank(c) || c == '\n' || c == ';' || c == '&' || c == '|' || c == '(' || c == ')' || c == '<' ||
           c == '>';
}

bool isGlobCharacter(char c) {
    return c == '*' || c == '?' || c == '[' || c == ']';
}

// "NAME=…" with the name and the "=" unquoted: the shell takes it for an assignment.
bool isAssignment(const std::string& text, size_t firstQuoted) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0 || equals >= firstQuoted ||
        std::isdigit(static_cast<unsigned char>(text.front())) != 0) {
        return false;
    }
    return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(equals),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; });
}

// The fnmatch(3) form of a word whose unquoted glob characters are marked in `active`; "" when none
// is. A "[" counts only with a "]" after it that closes it, as in the shell.
std::string patternOf(const std::string& text, std::vector<bool> active) {
    std::vector<bool> inBracket(text.size(), false);
    for (size_t i = 0; i < text.size(); ++i) {
        if (!active[i] || text[i] != '[') {
            continue;
        }
        size_t close = i + 2;
        while (close < text.size() && !(active[close] && text[close] == ']')) {
            ++close;
        }
        if (close >= text.size()) {
            active[i] = false;
            continue;
        }
        std::fill(inBracket.begin() + static_cast<std::ptrdiff_t>(i),
                  inBracket.begin() + static_cast<std::ptrdiff_t>(close) + 1, true);
        i = close;
    }
    bool any = false;
    std::string pattern;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool special = inBracket[i] || (active[i] && (c == '*' || c == '?'));
        any = any || special;
        if (!special && (isGlobCharacter(c) || c == '\\')) {
            pattern += '\\';
        }
        pattern += c;
    }
    return any ? pattern : std::string();
}

class Reader {
public:
    explicit Reader(std::string_view line) : mLine(line) {}

    ScriptLine::Parsed parse();

private:
    bool at(std::string_view text) const { return mLine.substr(mPos, text.size()) == text; }
    bool refuse(std::string reason) {
        if (!mRefusal) {
            mRefusal = std::move(reason);
        }
        return false;
    }
    std::optional<Word> word(bool commandPosition);
    bool doubleQuoted(std::string& text);
    bool dollar();
    bool redirection(const std::string& descriptor);

    std::string_view mLine;
    size_t mPos = 0;
    std::optional<std::string> mRefusal;
};

ScriptLine::Parsed Reader::parse() {
    ScriptLine::Parsed parsed;
    ScriptLine::Command current;
    // After "&&" or "||" a command must follow, on this line or the next.
    bool commandDue = false;
    const auto separate = [&](Joint next) {
        parsed.commands.push_back(std::move(current));
        current = ScriptLine::Command{next, {}};
    };
    while (!mRefusal && mPos < mLine.size()) {
        const char c = mLine[mPos];
        if (isBlank(c)) {
            ++mPos;
        } else if (c == '#') {
            while (mPos < mLine.size() && mLine[mPos] != '\n') {
                ++mPos;
            }
        } else if (c == '\n') {
            ++mPos;
            if (!current.words.empty()) {
                separate(Joint::Always);
            }
        } else if (c == ';') {
            if (current.words.empty()) {
                const bool doubled = at(";;") || (mPos > 0 && mLine[mPos - 1] == ';');
                refuse(doubled ? "\";;\" belongs to case, which is not run" : "\";\" follows no command");
            }
            ++mPos;
            separate(Joint::Always);
        } else if (at("&&") || at("||")) {
            if (current.words.empty()) {
                refuse("\"" + std::string(mLine.substr(mPos, 2)) + "\" follows no command");
            }
            const Joint next = c == '&' ? Joint::IfSucceeded : Joint::IfFailed;
            mPos += 2;
            separate(next);
            commandDue = true;
        } else if (at("&>") || c == '<' || c == '>') {
            redirection("");
        } else if (c == '|') {
            refuse("a pipe (|) is refused");
        } else if (c == '&') {
            refuse("running a command in the background (&) is refused");
        } else if (c == '(' || c == ')') {
            refuse("a subshell or group in parentheses is refused");
        } else if (std::optional<Word> next = word(current.words.empty())) {
            // Digits right before "<" or ">" name the descriptor redirected.
            const bool descriptor =
                !next->text.empty() && mPos < mLine.size() && (mLine[mPos] == '<' || mLine[mPos] == '>') &&
                std::all_of(next->text.begin(), next->text.end(),
                            [](char d) { return std::isdigit(static_cast<unsigned char>(d)) != 0; });
            if (descriptor) {
                redirection(next->text);
            } else {
                current.words.push_back(std::move(*next));
                commandDue = false;
            }
        }
    }
    if (!current.words.empty()) {
        parsed.commands.push_back(std::move(current));
    } else if (commandDue) {
        refuse("the line ends without the command that \"&&\" or \"||\" runs");
    }
    if (!mRefusal && parsed.commands.empty()) {
        refuse("the line runs no command");
    }
    if (mRefusal) {
        return {{}, mRefusal};
    }
    return parsed;
}

std::optional<Word> Reader::word(bool commandPosition) {
    std::string text;
    std::vector<bool> active;
    size_t firstQuoted = std::string::npos;
    bool bang = false;
    const auto add = [&](char c, bool quoted) {
        if (quoted && firstQuoted == std::string::npos) {
            firstQuoted = text.size();
        }
        text += c;
        active.push_back(!quoted && isGlobCharacter(c));
    };
    while (!mRefusal && mPos < mLine.size() && !endsWord(mLine[mPos])) {
        const char c = mLine[mPos];
        if (c == '\\') {
            if (mPos + 1 >= mLine.size()) {
                refuse("the line ends in a backslash");
            } else if (mLine[mPos + 1] != '\n') {
                add(mLine[mPos + 1], true);
            }
            mPos += 2;
        } else if (c == '\'') {
            const size_t close = mLine.find('\'', mPos + 1);
            if (close == std::string_view::npos) {
                refuse("a single quote is not closed");
                break;
            }
            for (size_t i = mPos + 1; i < close; ++i) {
                add(mLine[i], true);
            }
            if (close == mPos + 1 && firstQuoted == std::string::npos) {
                firstQuoted = text.size();
            }
            mPos = close + 1;
        } else if (c == '"') {
            std::string inside;
            if (doubleQuoted(inside)) {
                if (firstQuoted == std::string::npos) {
                    firstQuoted = text.size();
                }
                for (const char q : inside) {
                    add(q, true);
                }
            }
        } else if (c == '$') {
            dollar();
        } else if (c == '`') {
            refuse("a command's output (`…`) is refused");
        } else if (c == '~') {
            refuse("\"~\" (a home folder) is refused");
        } else if (c == '{' || c == '}') {
            refuse("braces ({…}) are refused");
        } else if (c == '\0') {
            refuse("a NUL byte is refused");
        } else {
            bang = bang || c == '!';
            add(c, false);
            ++mPos;
        }
    }
    if (mRefusal) {
        return std::nullopt;
    }
    if (bang && (text != "!" || commandPosition)) {
        refuse(text == "!" ? "negating a command (!) is refused" : "\"!\" is refused in " + text);
        return std::nullopt;
    }
    if (commandPosition && isAssignment(text, firstQuoted)) {
        refuse("an assignment before a command (" + text.substr(0, text.find('=') + 1) + "…) is refused");
        return std::nullopt;
    }
    Word result;
    result.pattern = patternOf(text, std::move(active));
    result.text = std::move(text);
    return result;
}

// Reads "…" from the opening quote; false (with the reason) for an expansion inside or no closing quote.
bool Reader::doubleQuoted(std::string& text) {
    for (size_t i = mPos + 1; i < mLine.size(); ++i) {
        const char c = mLine[i];
        if (c == '"') {
            mPos = i + 1;
            return true;
        }
        if (c == '$') {
            return refuse("\"$\" inside double quotes (an expansion) is refused");
        }
        if (c == '`') {
            return refuse("a command's output (`…`) is refused");
        }
        if (c == '\\') {
            const char next = i + 1 < mLine.size() ? mLine[i + 1] : '\0';
            if (next != '"' && next != '\\' && next != '$' && next != '`') {
                return refuse("a backslash inside double quotes may only come before \", \\, $ or `");
            }
            text += next;
            ++i;
        } else if (c == '\0') {
            return refuse("a NUL byte is refused");
        } else {
            text += c;
        }
    }
    return refuse("a double quote is not closed");
}

bool Reader::dollar() {
    if (at("$((")) {
        return refuse("arithmetic ($((…))) is refused");
    }
    if (at("$(")) {
        return refuse("a command's output ($(…)) is refused");
    }
    return refuse("a variable or other expansion ($) is refused");
}

// Output is thrown away whatever the line says, so only redirections that throw it away are taken (and
// then have nothing left to do).
bool Reader::redirection(const std::string& descriptor) {
    static constexpr std::string_view operators[] = {"&>>", "<<<", "&>", ">>", ">&", ">|",
                                                     "<<",  "<&",  "<>", ">",  "<"};
    std::string_view op;
    for (const std::string_view candidate : operators) {
        if (at(candidate)) {
            op = candidate;
            break;
        }
    }
    mPos += op.size();
    if (op == "<<" || op == "<<<") {
        return refuse("a here-document is refused");
    }
    if (op.front() == '<') {
        return refuse("reading from a file (" + std::string(op) + ") is refused");
    }
    while (mPos < mLine.size() && isBlank(mLine[mPos])) {
        ++mPos;
    }
    const std::optional<Word> target = word(false);
    if (!target) {
        return false;
    }
    const std::string written = descriptor + std::string(op) + target->text;
    const bool toNull = target->text == "/dev/null" && !target->isPattern();
    const bool output = descriptor.empty() || descriptor == "1" || descriptor == "2";
    const bool accepted =
        ((op == ">" || op == ">>") && output && toNull) ||
        ((op == "&>" || op == "&>>") && descriptor.empty() && toNull) ||
        (op == ">&" && ((descriptor == "2" && target->text == "1") ||
                        ((descriptor.empty() || descriptor == "1") && target->text == "2") ||
                        (descriptor.empty() && toNull)));
    if (target->text.empty() && !accepted) {
        return refuse("a redirection names no file");
    }
    return accepted ||
           refuse("only output thrown away may be redirected (>/dev/null, 2>&1): " + written + " is refused");
}

} // namespace

ScriptLine::Parsed ScriptLine::parse(std::string_view line) {
    return Reader(line).parse();
}

std::string ScriptLine::quoted(std::string_view word) {
    const bool plain =
        !word.empty() && (word == "[" || word == "]" || std::all_of(word.begin(), word.end(), [](char c) {
                              return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
                                     std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
                          }));
    if (plain) {
        return std::string(word);
    }
    std::string out = "'";
    for (const char c : word) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}
