#include "engine/AnalyzeCommandManager.h"

#include "engine/ShellLexer.h"
#include "platform/CTaskController.h"
#include "platform/Path.h"
#include "platform/RealPath.h"
#include "platform/SystemFloor.h"
#include "platform/SystemRoot.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace {

using Word = ShellLexer::Word;
using Words = std::vector<Word>;
using Refusal = std::optional<std::string>;

constexpr int kMaxDepth = 8;

constexpr std::array<const char*, 10> kLimitationCommands = {"rm",    "unlink", "rmdir", "mv",   "cp",
                                                             "chmod", "chown",  "chgrp", "kill", "killall"};
// Commands that delete, like rm, under another name.
constexpr std::array<const char*, 1> kOtherFileCommands = {"srm"};
constexpr std::array<const char*, 11> kShells = {"sh",   "bash", "zsh",  "ksh", "dash", "csh",
                                                 "tcsh", "fish", "mksh", "ash", "rbash"};
constexpr std::array<const char*, 15> kInterpreters = {"ruby", "php",    "node",    "osascript", "tclsh",
                                                       "wish", "expect", "awk",     "gawk",      "nawk",
                                                       "mawk", "lua",    "Rscript", "swift",     "pwsh"};
constexpr std::array<const char*, 16> kWrappers = {
    "sudo", "doas",    "env",     "xargs",   "nohup",      "nice", "time",   "exec",
    "eval", "command", "builtin", "timeout", "caffeinate", "arch", "stdbuf", "su"};
constexpr std::array<const char*, 3> kFolderChanges = {"cd", "pushd", "popd"};
// Shell words that come before the command they introduce.
constexpr std::array<const char*, 13> kLeadingKeywords = {
    "!", "{", "}", "then", "else", "elif", "if", "while", "until", "do", "done", "fi", "time"};
constexpr std::array<const char*, 8> kUnscreenableKeywords = {"for",    "case", "select", "function",
                                                              "coproc", "[[",   "esac",   "in"};
// Devices a line may write to without acting on anything.
constexpr std::array<const char*, 4> kHarmlessTargets = {"/dev/null", "/dev/stdout", "/dev/stderr",
                                                         "/dev/tty"};

template <size_t N> bool isOneOf(const std::array<const char*, N>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(), [&](const char* entry) { return name == entry; });
}

bool isInterpreter(const std::string& name) {
    return isOneOf(kInterpreters, name) || name.rfind("python", 0) == 0 || name.rfind("perl", 0) == 0;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return text;
}

std::string baseName(const std::string& command) {
    return command.empty() ? command : path::lastComponent(command);
}

bool isAssignment(const Word& word) {
    const size_t equals = word.value.find('=');
    if (equals == std::string::npos || equals == 0 ||
        std::isdigit(static_cast<unsigned char>(word.value.front())) != 0) {
        return false;
    }
    return std::all_of(word.value.begin(), word.value.begin() + static_cast<std::ptrdiff_t>(equals),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; });
}

bool isOption(const Word& word) {
    return word.value.size() > 1 && word.value.front() == '-' && !word.expansion;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == ' ' || line[i] == '\t') {
            words.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    return words;
}

std::string trimmedRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

// The screening of one line with the protected paths it is screened against.
class Screener {
public:
    Screener(const AnalyzeCommandManager& manager, const std::vector<std::string>& individual,
             const std::vector<std::string>& lower)
        : mManager(manager), mIndividual(individual), mLower(lower) {}

    Refusal line(const std::string& text, int depth);

private:
    Refusal command(const ShellLexer::Command& command, int depth);
    Refusal simple(const Words& words, size_t first, const std::string& raw, int depth);
    Refusal wrapper(const std::string& name, const Words& words, size_t first, const std::string& raw,
                    int depth);
    Refusal shell(const Words& words, size_t first, int depth);
    Refusal fileCommand(const std::string& name, const Words& words, size_t first, const std::string& raw);
    Refusal kill(const Words& words, size_t first, const std::string& raw);
    Refusal killall(const Words& words, size_t first, const std::string& raw);
    Refusal find(const Words& words, size_t first);
    Refusal xargs(const Words& words, size_t first);
    Refusal pathWord(const Word& word);
    Refusal literalPath(std::string text);
    Refusal protectedBy(const std::string& path) const;
    bool isSpecialCommand(const std::string& name) const;

    const AnalyzeCommandManager& mManager;
    const std::vector<std::string>& mIndividual;
    const std::vector<std::string>& mLower;
    // A line that changes its folder makes relative paths name something other than they seem.
    bool mChangesFolder = false;
};

// The raw text of a simple command from its word `first` on.
std::string rawFrom(const Words& words, size_t first, const std::string& raw) {
    return first < words.size() ? trimmedRight(raw.substr(std::min(words[first].rawBegin, raw.size()))) : "";
}

Refusal Screener::line(const std::string& text, int depth) {
    if (depth > kMaxDepth) {
        return "commands nested too deeply";
    }
    // The first word as written, and its last component: the same test a whole script's lines get.
    const std::string name = AnalyzeCommandManager::getCommandString(text);
    if (mManager.isBanCommand(name)) {
        return name.empty() ? "an empty command" : "\"" + name + "\" is a system administration program";
    }
    if (const std::string base = baseName(name); mManager.isBanCommand(base)) {
        return "\"" + base + "\" is a system administration program";
    }
    const ShellLexer::Result lexed = ShellLexer::split(text);
    if (lexed.error) {
        return *lexed.error;
    }
    for (const ShellLexer::Command& command : lexed.commands) {
        for (const Word& word : command.words) {
            mChangesFolder = mChangesFolder || isOneOf(kFolderChanges, baseName(word.value));
        }
    }
    for (const ShellLexer::Command& command : lexed.commands) {
        if (Refusal refusal = this->command(command, depth)) {
            return refusal;
        }
    }
    return std::nullopt;
}

Refusal Screener::command(const ShellLexer::Command& command, int depth) {
    for (const ShellLexer::Redirect& redirect : command.redirects) {
        if (!redirect.writes() || isOneOf(kHarmlessTargets, redirect.target.value)) {
            continue;
        }
        if (Refusal refusal = pathWord(redirect.target)) {
            return "writes to a protected place: " + *refusal;
        }
    }
    size_t first = 0;
    const Words& words = command.words;
    while (first < words.size() &&
           (isAssignment(words[first]) ||
            (!words[first].quoted && isOneOf(kLeadingKeywords, words[first].value)))) {
        if (words[first].value == "time" && first + 1 < words.size() && words[first + 1].value == "-p") {
            ++first;
        }
        ++first;
    }
    if (first >= words.size()) {
        return std::nullopt;
    }
    if (!words[first].quoted && isOneOf(kUnscreenableKeywords, words[first].value)) {
        return "the shell construct \"" + words[first].value + "\" cannot be screened";
    }
    return simple(words, first, command.raw, depth);
}

Refusal Screener::simple(const Words& words, size_t first, const std::string& raw, int depth) {
    const Word& word = words[first];
    if (word.expansion || word.hasSpecial()) {
        return "the command " + word.value + " is only known when the line runs";
    }
    const std::string name = baseName(word.value);
    if (mManager.isBanCommand(word.value) || mManager.isBanCommand(name)) {
        return name.empty() ? "an empty command" : "\"" + name + "\" is a system administration program";
    }
    if (isOneOf(kFolderChanges, name)) {
        return std::nullopt;
    }
    if (name == "." || name == "source") {
        return "runs a script file, which cannot be screened";
    }
    if (isOneOf(kWrappers, name) || name == "launchctl") {
        return wrapper(name, words, first, raw, depth);
    }
    if (isOneOf(kShells, name)) {
        return shell(words, first, depth);
    }
    if (isInterpreter(name)) {
        return "runs " + name + " code, which cannot be screened";
    }
    if (name == "chroot") {
        return "runs a command in another root";
    }
    if (name == "pkill") {
        return "pkill chooses processes by a pattern";
    }
    if (name == "kill") {
        return kill(words, first, raw);
    }
    if (name == "killall") {
        return killall(words, first, raw);
    }
    if (name == "find") {
        return find(words, first);
    }
    if (mManager.isLimitationCommand(name) || isOneOf(kOtherFileCommands, name)) {
        return fileCommand(name, words, first, raw);
    }
    return std::nullopt;
}

bool Screener::isSpecialCommand(const std::string& name) const {
    return mManager.isBanCommand(name) || mManager.isLimitationCommand(name) ||
           isOneOf(kOtherFileCommands, name) || isOneOf(kWrappers, name) || isOneOf(kShells, name) ||
           isInterpreter(name) || name == "find" || name == "pkill" || name == "launchctl" ||
           name == "chroot";
}

Refusal Screener::wrapper(const std::string& name, const Words& words, size_t first, const std::string& raw,
                          int depth) {
    size_t i = first + 1;
    const auto value = [&](size_t at) -> const std::string& { return words[at].value; };
    const auto wrapped = [&](size_t at) -> Refusal {
        return at < words.size() ? simple(words, at, raw, depth + 1) : std::nullopt;
    };
    if (name == "eval") {
        std::string text;
        for (size_t k = i; k < words.size(); ++k) {
            if (words[k].expansion) {
                return "eval of text that is only known when the line runs";
            }
            text += (k == i ? "" : " ") + value(k);
        }
        return line(text, depth + 1);
    }
    if (name == "xargs") {
        return xargs(words, first);
    }
    if (name == "su") {
        for (; i < words.size(); ++i) {
            if (value(i) == "-c" || value(i) == "--command") {
                if (i + 1 >= words.size() || words[i + 1].expansion) {
                    return "su runs a command that cannot be screened";
                }
                return line(value(i + 1), depth + 1);
            }
            if (value(i).rfind("--command=", 0) == 0) {
                return words[i].expansion ? Refusal("su runs a command that cannot be screened")
                                          : line(value(i).substr(10), depth + 1);
            }
        }
        return "su without a command opens a shell";
    }
    if (name == "launchctl") {
        // "launchctl asuser UID command" and "launchctl bsexec PID command" run a command.
        if (i < words.size() && (value(i) == "asuser" || value(i) == "bsexec")) {
            return wrapped(i + 2);
        }
        return std::nullopt;
    }
    if (name == "sudo" || name == "doas") {
        bool shellMode = false;
        for (; i < words.size() && isOption(words[i]); ++i) {
            const std::string& option = value(i);
            if (option == "--") {
                ++i;
                break;
            }
            if (option == "-D" || option == "-R" || option.rfind("--chdir", 0) == 0 ||
                option.rfind("--chroot", 0) == 0 || option == "-e" || option == "--edit") {
                return name + " " + option + " runs somewhere that cannot be screened";
            }
            shellMode =
                shellMode || option == "-s" || option == "-i" || option == "--shell" || option == "--login";
            static constexpr std::array<const char*, 9> withValue = {"-u", "-g", "-p", "-C", "-h",
                                                                     "-r", "-t", "-U", "-T"};
            if (isOneOf(withValue, option)) {
                ++i;
            }
        }
        if (shellMode && i < words.size()) {
            std::string text;
            for (size_t k = i; k < words.size(); ++k) {
                if (words[k].expansion) {
                    return name + " runs text that is only known when the line runs";
                }
                text += (k == i ? "" : " ") + value(k);
            }
            return line(text, depth + 1);
        }
        return shellMode ? Refusal(name + " opens a shell") : wrapped(i);
    }
    if (name == "env") {
        for (; i < words.size(); ++i) {
            const std::string& option = value(i);
            if (option == "-S" || option.rfind("--split-string", 0) == 0 || option == "-C" ||
                option.rfind("--chdir", 0) == 0) {
                return "env " + option + " runs something that cannot be screened";
            }
            if (option == "-u" || option == "-P") {
                ++i;
            } else if (!isOption(words[i]) && option != "-" && !isAssignment(words[i])) {
                break;
            }
        }
        return wrapped(i);
    }
    if (name == "time") {
        for (; i < words.size() && isOption(words[i]); ++i) {
            if (value(i) == "-o" || value(i).rfind("--output", 0) == 0) {
                return "time -o writes a file";
            }
        }
        return wrapped(i);
    }
    if (name == "timeout") {
        for (; i < words.size() && isOption(words[i]); ++i) {
            if (value(i) == "-s" || value(i) == "-k") {
                ++i;
            }
        }
        return wrapped(i + 1); // after the duration
    }
    if (name == "nice" || name == "exec" || name == "caffeinate" || name == "arch" || name == "stdbuf") {
        static constexpr std::array<const char*, 8> withValue = {"-n",    "-a", "-t", "-w",
                                                                 "-arch", "-e", "-i", "-o"};
        for (; i < words.size() && isOption(words[i]); ++i) {
            if (value(i) == "--") {
                ++i;
                break;
            }
            if (isOneOf(withValue, value(i)) && !(name == "stdbuf" && value(i).size() > 2)) {
                ++i;
            }
        }
        return wrapped(i);
    }
    // nohup, command and builtin take only simple options before the command.
    while (i < words.size() && isOption(words[i])) {
        ++i;
    }
    return wrapped(i);
}

Refusal Screener::shell(const Words& words, size_t first, int depth) {
    size_t i = first + 1;
    bool command = false;
    for (; i < words.size(); ++i) {
        const std::string& option = words[i].value;
        if (option == "--" || option == "-") {
            ++i;
            break;
        }
        if (option.size() < 2 || (option.front() != '-' && option.front() != '+')) {
            break;
        }
        if (option == "-o" || option == "+o" || option == "-O" || option == "+O" || option == "--rcfile" ||
            option == "--init-file") {
            ++i;
        } else if (option.rfind("--", 0) != 0 && option.find('c') != std::string::npos) {
            command = true;
        }
    }
    if (!command) {
        return "runs a shell script, which cannot be screened";
    }
    if (i >= words.size() || words[i].expansion) {
        return "runs shell text that is only known when the line runs";
    }
    return line(words[i].value, depth + 1);
}

Refusal Screener::fileCommand(const std::string& name, const Words& words, size_t first,
                              const std::string& raw) {
    // Every operand as the shell will pass it.
    const bool targetOption = name == "mv" || name == "cp";
    bool options = true;
    for (size_t i = first + 1; i < words.size(); ++i) {
        const Word& word = words[i];
        if (options && word.value == "--" && !word.quoted) {
            options = false;
            continue;
        }
        if (options && isOption(word)) {
            if (targetOption && word.value.rfind("--target-directory=", 0) == 0) {
                if (Refusal refusal = literalPath(word.value.substr(19))) {
                    return refusal;
                }
            } else if (targetOption && word.value.rfind("--", 0) != 0 &&
                       word.value.find('t') != std::string::npos) {
                const std::string rest = word.value.substr(word.value.find('t') + 1);
                if (!rest.empty()) {
                    if (Refusal refusal = literalPath(rest)) {
                        return refusal;
                    }
                } else if (i + 1 < words.size()) {
                    if (Refusal refusal = pathWord(words[++i])) {
                        return refusal;
                    }
                }
            }
            continue;
        }
        if (Refusal refusal = pathWord(word)) {
            return refusal;
        }
    }
    // And the written rule: a file command must name its paths, absolute or beginning with "./".
    const std::optional<std::vector<std::string>> written =
        AnalyzeCommandManager::getSystemPath(rawFrom(words, first, raw));
    if (!written || written->empty()) {
        return name + " names no absolute path";
    }
    for (const std::string& path : *written) {
        if (Refusal refusal = literalPath(path)) {
            return refusal;
        }
    }
    return std::nullopt;
}

Refusal Screener::kill(const Words& words, size_t first, const std::string& raw) {
    // The written rule over the words after the command (whatever path the command was named by).
    const std::string rest = first + 1 < words.size() ? " " + rawFrom(words, first + 1, raw) : "";
    if (!AnalyzeCommandManager::checkKillProcessID("kill" + rest)) {
        return "kill may only name process ids above 99";
    }
    size_t i = first + 1;
    if (i < words.size() && isOption(words[i]) && words[i].value != "--") {
        if (words[i].value == "-l" || words[i].value == "-L") {
            return std::nullopt;
        }
        i += words[i].value == "-s" || words[i].value == "-n" ? 2 : 1;
    }
    if (i < words.size() && words[i].value == "--") {
        ++i;
    }
    for (; i < words.size(); ++i) {
        // "-1" is every process and "-N" a whole process group, not an option.
        const std::string& id = words[i].value;
        if (id.empty() || words[i].expansion ||
            !std::all_of(id.begin(), id.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) ||
            std::strtoull(id.c_str(), nullptr, 10) <= 99) {
            return "kill may only name process ids above 99";
        }
    }
    return std::nullopt;
}

Refusal Screener::killall(const Words& words, size_t first, const std::string& raw) {
    const std::string rest = first + 1 < words.size() ? " " + rawFrom(words, first + 1, raw) : "";
    if (!AnalyzeCommandManager::checkKillallProcess("killall" + rest)) {
        return "killall may not stop launchd or loginwindow";
    }
    static constexpr std::array<const char*, 9> selectors = {"-m", "-r", "--regexp", "-u", "--user",
                                                             "-t", "-c", "-o",       "-y"};
    bool named = false;
    for (size_t i = first + 1; i < words.size(); ++i) {
        const Word& word = words[i];
        if (word.expansion) {
            return "killall names a process that is only known when the line runs";
        }
        if (isOption(word)) {
            if (isOneOf(selectors, word.value)) {
                return "killall " + word.value + " chooses processes by more than their name";
            }
            continue;
        }
        const std::string process = lower(baseName(word.value));
        if (process == "launchd" || process == "loginwindow") {
            return "killall may not stop launchd or loginwindow";
        }
        named = true;
    }
    return named ? std::nullopt : Refusal("killall names no process");
}

Refusal Screener::find(const Words& words, size_t first) {
    size_t i = first + 1;
    bool followsLinks = false;
    std::vector<const Word*> starts;
    static constexpr std::array<const char*, 8> flags = {"-H", "-L", "-P", "-E", "-X", "-d", "-s", "-x"};
    for (; i < words.size(); ++i) {
        const std::string& option = words[i].value;
        if (option == "-f" && i + 1 < words.size()) {
            starts.push_back(&words[++i]);
        } else if (isOneOf(flags, option)) {
            followsLinks = followsLinks || option == "-H" || option == "-L";
        } else {
            break;
        }
    }
    for (; i < words.size(); ++i) {
        const std::string& value = words[i].value;
        if (!value.empty() && (value.front() == '-' || value == "(" || value == "!" || value == ")")) {
            break;
        }
        starts.push_back(&words[i]);
    }
    bool acts = false;
    for (; i < words.size(); ++i) {
        const std::string& primary = words[i].value;
        if (primary == "-delete") {
            acts = true;
        } else if (primary == "-exec" || primary == "-execdir" || primary == "-ok" || primary == "-okdir") {
            if (i + 1 >= words.size() || words[i + 1].expansion || words[i + 1].hasSpecial()) {
                return "find " + primary + " runs a command that cannot be screened";
            }
            const std::string name = baseName(words[i + 1].value);
            if (mManager.isBanCommand(words[i + 1].value) || mManager.isBanCommand(name)) {
                return "\"" + name + "\" is a system administration program";
            }
            if (isSpecialCommand(name) || name == "kill" || name == "killall") {
                if (!mManager.isLimitationCommand(name) && !isOneOf(kOtherFileCommands, name)) {
                    return "find " + primary + " " + name + " cannot be screened";
                }
                acts = true;
            }
            while (i < words.size() && words[i].value != ";" && words[i].value != "+") {
                ++i;
            }
        } else if (primary.rfind("-fprint", 0) == 0 || primary == "-fls") {
            return "find " + primary + " writes a file";
        }
    }
    if (!acts) {
        return std::nullopt;
    }
    if (followsLinks) {
        return "find follows links to what it deletes or changes";
    }
    if (starts.empty()) {
        return literalPath(".");
    }
    for (const Word* start : starts) {
        if (Refusal refusal = pathWord(*start)) {
            return refusal;
        }
    }
    return std::nullopt;
}

Refusal Screener::xargs(const Words& words, size_t first) {
    // What xargs runs gets its paths from the input, which the line does not show.
    for (size_t i = first + 1; i < words.size(); ++i) {
        const std::string name = baseName(words[i].value);
        if (words[i].expansion || isSpecialCommand(name) || name == "kill" || name == "killall") {
            return "xargs hands " + (name.empty() ? words[i].value : name) +
                   " paths it reads, which cannot be screened";
        }
    }
    return std::nullopt;
}

Refusal Screener::pathWord(const Word& word) {
    if (word.expansion && !word.value.empty() && word.value.front() == '~') {
        return "the path " + word.value + " depends on a home folder";
    }
    if (word.expansion) {
        return "the path " + word.value + " is only known when the line runs";
    }
    if (!word.hasSpecial()) {
        return literalPath(word.value);
    }
    // A glob acts somewhere in the folder before it; the whole pattern read literally shows where a ".."
    // after it leads.
    const std::string before = word.value.substr(0, word.specialAt);
    const size_t slash = before.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : before.substr(0, slash));
    if (Refusal refusal = literalPath(folder)) {
        return refusal;
    }
    return literalPath(word.value);
}

Refusal Screener::literalPath(std::string text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.front() == '~') {
        return "the path " + text + " depends on a home folder";
    }
    if (text.front() != '/') {
        if (mChangesFolder) {
            return "the relative path " + text + " follows a change of folder";
        }
        // Script lines run from "/".
        text = "/" + text;
    }
    const std::vector<std::string> parts = path::components(text);
    const bool climbs = std::find(parts.begin(), parts.end(), "..") != parts.end();
    const std::string standard = path::standardize(text);
    if (Refusal refusal = protectedBy(standard)) {
        return refusal;
    }
    if (climbs) {
        return "\"..\" in " + text + " may climb through a link";
    }
    const std::string real = RealPath::resolve(standard);
    if (real != standard) {
        if (Refusal refusal = protectedBy(real)) {
            return standard + " leads to " + *refusal;
        }
    }
    return std::nullopt;
}

Refusal Screener::protectedBy(const std::string& path) const {
    if (SystemFloor::contains(path)) {
        return path + " is a system folder";
    }
    if (AnalyzeCommandManager::isIndividualPath(mIndividual, path) ||
        AnalyzeCommandManager::isLowerLayerPath(mLower, path)) {
        return path + " is protected";
    }
    if (SystemFloor::containsBelow(path)) {
        return path + " holds a system folder";
    }
    for (const std::vector<std::string>* list : {&mIndividual, &mLower}) {
        for (const std::string& entry : *list) {
            if (path::isStrictlyWithin(entry, path)) {
                return path + " holds the protected folder " + entry;
            }
        }
    }
    return std::nullopt;
}

} // namespace

void AnalyzeCommandManager::createBanCommandList() {
    for (const char* folder : {"/sbin", "/usr/sbin"}) {
        std::string output;
        // ls of a folder that is not there prints nothing, which is one empty piece.
        const std::optional<std::string> hostFolder = SystemRoot::hostPath(folder);
        if (hostFolder &&
            !CTaskController::initTaskController().exeCommandLine("/bin/ls", {*hostFolder}, &output)) {
            continue;
        }
        size_t start = 0;
        for (;;) {
            const size_t end = output.find('\n', start);
            mBanCommandArray.push_back(output.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
    }
}

void AnalyzeCommandManager::createLimitationCommandList() {
    mLimitationCommandArray.insert(mLimitationCommandArray.end(), kLimitationCommands.begin(),
                                   kLimitationCommands.end());
}

bool AnalyzeCommandManager::isLimitationCommand(const std::string& name) const {
    return std::find(mLimitationCommandArray.begin(), mLimitationCommandArray.end(), name) !=
           mLimitationCommandArray.end();
}

bool AnalyzeCommandManager::isBanCommand(const std::string& name) const {
    return std::find(mBanCommandArray.begin(), mBanCommandArray.end(), name) != mBanCommandArray.end();
}

bool AnalyzeCommandManager::isIndividualPath(const std::vector<std::string>& paths,
                                             const std::optional<std::string>& path) {
    if (paths.empty() || !path) {
        return false;
    }
    const std::string wanted = path::comparisonKey(*path);
    return std::any_of(paths.begin(), paths.end(),
                       [&](const std::string& entry) { return path::comparisonKey(entry) == wanted; });
}

bool AnalyzeCommandManager::isLowerLayerPath(const std::vector<std::string>& paths,
                                             const std::optional<std::string>& path) {
    if (paths.empty() || !path) {
        return false;
    }
    const std::string wanted = path::comparisonKey(*path);
    return std::any_of(paths.begin(), paths.end(), [&](const std::string& entry) {
        return path::isInFolder(wanted, path::comparisonKey(entry));
    });
}

bool AnalyzeCommandManager::checkKillProcessID(const std::string& line) {
    for (const std::string& word : splitWords(line)) {
        if (word == "kill" || (!word.empty() && word.front() == '-')) {
            continue;
        }
        // The integer reading of the word: leading blanks, a sign, digits; 0 when there are none.
        const long long value = std::strtoll(word.c_str(), nullptr, 10);
        if (static_cast<unsigned long long>(value) <= 99) {
            return false;
        }
    }
    return true;
}

bool AnalyzeCommandManager::checkKillallProcess(const std::string& line) {
    for (const std::string& word : splitWords(line)) {
        if (word == "launchd" || word == "loginwindow") {
            return false;
        }
    }
    return true;
}

std::string AnalyzeCommandManager::getCommandString(const std::string& line) {
    return line.substr(0, line.find_first_of(" \t"));
}

std::optional<std::vector<std::string>>
AnalyzeCommandManager::getSystemPath(const std::optional<std::string>& line) {
    if (!line) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    // Quoted stretches, all joined: a backslash before a quote inside one keeps that quote.
    bool inQuote = false;
    size_t lastBackslash = 0;
    std::string quoted;
    for (size_t p = 0; p < line->size(); ++p) {
        const char c = (*line)[p];
        if (c == '\\') {
            lastBackslash = p;
        } else if (c == '\'') {
            if (!inQuote) {
                inQuote = true;
            } else if (p > 0 && lastBackslash == p - 1) {
                quoted += '\'';
            } else {
                inQuote = false;
            }
        } else if (inQuote) {
            quoted += c;
        }
    }
    if (!quoted.empty()) {
        paths.push_back(quoted);
    }
    const std::vector<std::string> words = splitWords(*line);
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind('/', 0) == 0 || word.rfind("./", 0) == 0) {
            paths.push_back(word);
        }
    }
    return paths;
}

AnalyzeCommandManager::Verdict
AnalyzeCommandManager::screenLine(const std::string& line, const std::vector<std::string>& individualPaths,
                                  const std::vector<std::string>& lowerLayerPaths) const {
    Screener screener(*this, individualPaths, lowerLayerPaths);
    const Refusal refusal = screener.line(line, 0);
    return {line, !refusal.has_value(), refusal.value_or("")};
}

std::vector<AnalyzeCommandManager::Verdict>
AnalyzeCommandManager::screen(const std::optional<std::vector<std::string>>& lines,
                              const std::vector<std::string>& individualPaths,
                              const std::vector<std::string>& lowerLayerPaths) const {
    std::vector<Verdict> verdicts;
    for (const std::string& line : lines.value_or(std::vector<std::string>())) {
        verdicts.push_back(screenLine(line, individualPaths, lowerLayerPaths));
    }
    return verdicts;
}

std::optional<std::vector<std::string>>
AnalyzeCommandManager::checkBanCommand(const std::optional<std::vector<std::string>>& lines) const {
    if (!lines) {
        return std::nullopt;
    }
    std::vector<std::string> kept;
    for (const std::string& line : *lines) {
        const std::string name = getCommandString(line);
        if (!isBanCommand(name) && !isBanCommand(baseName(name))) {
            kept.push_back(line);
        }
    }
    return kept;
}

std::optional<std::vector<std::string>>
AnalyzeCommandManager::checkLimitationCommand(const std::optional<std::vector<std::string>>& lines,
                                              const std::vector<std::string>& individualPaths,
                                              const std::vector<std::string>& lowerLayerPaths) const {
    if (!lines) {
        return std::nullopt;
    }
    std::vector<std::string> admitted;
    for (const Verdict& verdict : screen(lines, individualPaths, lowerLayerPaths)) {
        if (verdict.admitted) {
            admitted.push_back(verdict.line);
        }
    }
    return admitted;
}

std::optional<std::vector<std::string>>
AnalyzeCommandManager::checkCommandProcess(const std::optional<std::vector<std::string>>& lines,
                                           const std::vector<std::string>& individualPaths,
                                           const std::vector<std::string>& lowerLayerPaths) const {
    if (!lines) {
        return std::nullopt;
    }
    return checkLimitationCommand(checkBanCommand(lines), individualPaths, lowerLayerPaths);
}
