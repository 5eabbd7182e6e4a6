#include "engine/ShellLexer.h"

#include <cctype>

namespace {

using Word = ShellLexer::Word;
using Command = ShellLexer::Command;

constexpr int kMaxDepth = 16;

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool isDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

// One pass over a piece of text: the whole line, or the inside of a "$(…)" up to its ")".
class Parser {
public:
    Parser(std::string_view text, ShellLexer::Result& result, int depth)
        : mText(text), mResult(result), mDepth(depth) {}

    // Parses from `pos`; inside a substitution it stops after the ")" that closes it. Returns the
    // position after what it read.
    size_t parse(size_t pos, bool inSubstitution);

private:
    bool failed() const { return mResult.error.has_value(); }
    size_t fail(const std::string& reason) {
        if (!mResult.error) {
            mResult.error = reason;
        }
        return mText.size();
    }
    Word& word(size_t at) {
        if (!mWord) {
            mWord = Word();
            mWord->rawBegin = at - mCommandStart;
        }
        return *mWord;
    }
    void endWord();
    void endCommand(size_t end);
    size_t redirect(size_t i);
    size_t doubleQuoted(size_t i);
    size_t dollar(size_t i);
    size_t backquote(size_t i);
    size_t closing(size_t i, char open, char close);

    std::string_view mText;
    ShellLexer::Result& mResult;
    int mDepth;
    Command mCommand;
    size_t mCommandStart = 0;
    std::optional<Word> mWord;
    std::optional<std::string> mPendingRedirect;
};

void Parser::endWord() {
    if (!mWord) {
        return;
    }
    if (mPendingRedirect) {
        mCommand.redirects.push_back({*mPendingRedirect, std::move(*mWord)});
        mPendingRedirect.reset();
    } else {
        mCommand.words.push_back(std::move(*mWord));
    }
    mWord.reset();
}

void Parser::endCommand(size_t end) {
    endWord();
    if (mPendingRedirect) {
        fail("a redirection without a target");
        return;
    }
    if (!mCommand.words.empty() || !mCommand.redirects.empty()) {
        mCommand.raw = std::string(mText.substr(mCommandStart, end - mCommandStart));
        mResult.commands.push_back(std::move(mCommand));
    }
    mCommand = Command();
}

size_t Parser::redirect(size_t i) {
    // Digits right before the operator name a descriptor, not a word.
    if (mWord && isDigits(mWord->value) && !mWord->quoted) {
        mWord.reset();
    }
    endWord();
    if (mPendingRedirect) {
        return fail("a redirection without a target");
    }
    const char c = mText[i];
    const char next = i + 1 < mText.size() ? mText[i + 1] : '\0';
    std::string op(1, c);
    if (next == '(') {
        return fail("process substitution cannot be screened");
    }
    if (c == '<') {
        if (next == '<') {
            if (i + 2 < mText.size() && mText[i + 2] == '<') {
                op = "<<<";
            } else {
                return fail("a here-document cannot be screened");
            }
        } else if (next == '>' || next == '&') {
            op += next;
        }
    } else if (next == '>' || next == '|' || next == '&') {
        op += next;
    }
    mPendingRedirect = op;
    return i + op.size();
}

size_t Parser::closing(size_t i, char open, char close) {
    int depth = 1;
    for (size_t j = i; j < mText.size(); ++j) {
        if (mText[j] == '\\') {
            ++j;
        } else if (mText[j] == open) {
            ++depth;
        } else if (mText[j] == close && --depth == 0) {
            return j;
        }
    }
    return std::string_view::npos;
}

size_t Parser::dollar(size_t i) {
    Word& current = word(i);
    current.expansion = true;
    const char next = i + 1 < mText.size() ? mText[i + 1] : '\0';
    size_t end = i + 1;
    if (next == '(' && i + 2 < mText.size() && mText[i + 2] == '(') {
        const size_t close = closing(i + 2, '(', ')');
        if (close == std::string_view::npos || close + 1 >= mText.size() || mText[close + 1] != ')') {
            return fail("arithmetic that cannot be screened");
        }
        const std::string_view inside = mText.substr(i + 3, close - i - 3);
        if (inside.find("$(") != std::string_view::npos || inside.find('`') != std::string_view::npos) {
            return fail("a command inside arithmetic cannot be screened");
        }
        end = close + 2;
    } else if (next == '(') {
        if (mDepth >= kMaxDepth) {
            return fail("commands nested too deeply");
        }
        Parser inner(mText, mResult, mDepth + 1);
        end = inner.parse(i + 2, /*inSubstitution=*/true);
    } else if (next == '{') {
        const size_t close = closing(i + 2, '{', '}');
        if (close == std::string_view::npos) {
            return fail("an unterminated ${");
        }
        const std::string_view inside = mText.substr(i + 2, close - i - 2);
        if (inside.find("$(") != std::string_view::npos || inside.find('`') != std::string_view::npos) {
            return fail("a command inside ${...} cannot be screened");
        }
        end = close + 1;
    } else if (next == '\'') {
        size_t j = i + 2;
        while (j < mText.size() && mText[j] != '\'') {
            j += mText[j] == '\\' ? 2 : 1;
        }
        if (j >= mText.size()) {
            return fail("an unterminated quote");
        }
        end = j + 1;
    } else if (next == '"') {
        const size_t valueSize = current.value.size();
        end = doubleQuoted(i + 2);
        current.value.resize(valueSize);
    } else if (isNameStart(next)) {
        end = i + 2;
        while (end < mText.size() && isNameChar(mText[end])) {
            ++end;
        }
    } else if (next != '\0' && (std::isdigit(static_cast<unsigned char>(next)) != 0 ||
                                std::string_view("@*#?$!-").find(next) != std::string_view::npos)) {
        end = i + 2;
    }
    if (!failed()) {
        word(i).value.append(mText.substr(i, end - i));
    }
    return end;
}

size_t Parser::backquote(size_t i) {
    word(i).expansion = true;
    std::string inner;
    size_t j = i + 1;
    for (; j < mText.size() && mText[j] != '`'; ++j) {
        if (mText[j] == '\\' && j + 1 < mText.size() &&
            std::string_view("`$\\").find(mText[j + 1]) != std::string_view::npos) {
            ++j;
        }
        inner += mText[j];
    }
    if (j >= mText.size()) {
        return fail("an unterminated `");
    }
    if (mDepth >= kMaxDepth) {
        return fail("commands nested too deeply");
    }
    Parser nested(inner, mResult, mDepth + 1);
    nested.parse(0, /*inSubstitution=*/false);
    word(i).value.append(mText.substr(i, j + 1 - i));
    return j + 1;
}

size_t Parser::doubleQuoted(size_t i) {
    Word& current = word(i);
    current.quoted = true;
    while (i < mText.size() && !failed()) {
        const char c = mText[i];
        if (c == '"') {
            return i + 1;
        }
        if (c == '\\' && i + 1 < mText.size() &&
            std::string_view("$`\"\\\n").find(mText[i + 1]) != std::string_view::npos) {
            if (mText[i + 1] != '\n') {
                current.value += mText[i + 1];
            }
            i += 2;
        } else if (c == '$') {
            i = dollar(i);
        } else if (c == '`') {
            i = backquote(i);
        } else {
            current.value += c;
            ++i;
        }
    }
    return fail("an unterminated double quote");
}

size_t Parser::parse(size_t pos, bool inSubstitution) {
    size_t i = pos;
    mCommandStart = i;
    while (i < mText.size() && !failed()) {
        const char c = mText[i];
        const char next = i + 1 < mText.size() ? mText[i + 1] : '\0';
        if (c == ' ' || c == '\t') {
            endWord();
            ++i;
        } else if (c == '\n' || c == ';' || c == '&' || c == '|') {
            if (c == ';' && next == ';') {
                return fail("case patterns cannot be screened");
            }
            if (c == '&' && next == '>') {
                // "&>" and "&>>" send both output streams to a file.
                endWord();
                if (mPendingRedirect) {
                    return fail("a redirection without a target");
                }
                mPendingRedirect = i + 2 < mText.size() && mText[i + 2] == '>' ? "&>>" : "&>";
                i += mPendingRedirect->size();
                continue;
            }
            endCommand(i);
            i += (c == '&' && next == '&') || (c == '|' && (next == '|' || next == '&')) ? 2 : 1;
            mCommandStart = i;
        } else if (c == '(') {
            return fail("a subshell or group in parentheses cannot be screened");
        } else if (c == ')') {
            if (!inSubstitution) {
                return fail("an unmatched )");
            }
            endCommand(i);
            return i + 1;
        } else if (c == '<' || c == '>') {
            i = redirect(i);
        } else if (c == '#' && !mWord) {
            while (i < mText.size() && mText[i] != '\n') {
                ++i;
            }
        } else if (c == '\\') {
            if (next == '\n') {
                i += 2;
                continue;
            }
            Word& current = word(i);
            current.quoted = true;
            if (next != '\0') {
                current.value += next;
            }
            i += 2;
        } else if (c == '\'') {
            Word& current = word(i);
            const size_t close = mText.find('\'', i + 1);
            if (close == std::string_view::npos) {
                return fail("an unterminated quote");
            }
            current.quoted = true;
            current.value.append(mText.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '"') {
            word(i);
            i = doubleQuoted(i + 1);
        } else if (c == '$') {
            i = dollar(i);
        } else if (c == '`') {
            i = backquote(i);
        } else {
            Word& current = word(i);
            if (c == '*' || c == '?' || c == '[' || c == '{') {
                if (!current.hasSpecial()) {
                    current.specialAt = current.value.size();
                }
            } else if (c == '~' && current.value.empty() && !current.quoted) {
                current.expansion = true;
            }
            current.value += c;
            ++i;
        }
    }
    if (failed()) {
        return mText.size();
    }
    if (inSubstitution) {
        return fail("an unterminated $(");
    }
    endCommand(mText.size());
    return mText.size();
}

} // namespace

bool ShellLexer::Redirect::writes() const {
    if (op == "<" || op == "<&" || op == "<<<") {
        return false;
    }
    if (op == ">&") {
        // "2>&1" and ">&-" duplicate or close a descriptor; anything else names a file.
        return !(isDigits(target.value) || target.value == "-");
    }
    return true;
}

ShellLexer::Result ShellLexer::split(std::string_view line) {
    Result result;
    Parser parser(line, result, 0);
    parser.parse(0, /*inSubstitution=*/false);
    if (result.error) {
        result.commands.clear();
    }
    return result;
}
