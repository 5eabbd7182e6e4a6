#include "engine/CommandScreener.h"

#include "engine/AnalyzeCommandManager.h"
#include "platform/SystemFloor.h"
#include "platform/ConfinedWalker.h"
#include "platform/Path.h"
#include "platform/RealPath.h"

#include <fnmatch.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace {

using Refusal = std::optional<std::string>;
using Word = ScriptLine::Word;
using Words = std::vector<Word>;
using Argument = CommandScreener::Argument;
using Reach = CommandScreener::Reach;

// What the operands of a command are, after its options.
enum class Operands {
    Paths,
    ModeThenPaths,  // chmod: a mode, then paths
    OwnerThenPaths, // chown: an owner (and group), then paths
    GroupThenPaths, // chgrp: a group, then paths
    ProcessIds,     // kill
    ProcessNames,   // killall
    Text,           // echo, true and false: nothing is read as an option or a path
    Seconds,        // sleep
    TestExpression, // test and [: file tests and string comparisons
    LaunchdJobs,    // launchctl: a subcommand and its labels or property lists
};

constexpr size_t kAny = SIZE_MAX;

// One command the uninstaller runs: the system's own path of it, its options (single letters; `valued`
// ones take a value, `recursive` ones make it act below its paths) and what its operands are.
struct CommandRule {
    std::string_view name;
    std::string_view program;
    std::string_view flags;
    std::string_view valued;
    std::string_view recursive;
    Operands operands;
    size_t least = 0;
    size_t most = kAny;
    bool signals = false; // a first option such as "-9" or "-TERM" names a signal
    bool moves = false;   // what it is given leaves its place, with all that lies below
};

// Nothing else runs. Options left out on purpose: rmdir -p (removes the emptied parents), chmod,
// chown and chgrp -H and -L (follow links below a path), killall -m, -u, -t and -c (choose processes
// by more than their name), touch -r (reads another file).
// clang-format off
constexpr std::array<CommandRule, 19> kCommands = {{
    // name       program              flags            valued  recursive  operands                 least  most  signals moves
    {"rm",        "/bin/rm",           "dfiIPRrvWx",    "",     "Rr",      Operands::Paths,          1},
    {"unlink",    "/bin/unlink",       "",              "",     "",        Operands::Paths,          1,     1},
    {"rmdir",     "/bin/rmdir",        "",              "",     "",        Operands::Paths,          1},
    {"mv",        "/bin/mv",           "fhinv",         "",     "",        Operands::Paths,          2,     kAny, false,  true},
    {"cp",        "/bin/cp",           "HLPRacfinpvXx", "",     "Rra",     Operands::Paths,          2},
    {"chmod",     "/bin/chmod",        "PRfhv",         "",     "R",       Operands::ModeThenPaths,  2},
    {"chown",     "/usr/sbin/chown",   "PRfhnvx",       "",     "R",       Operands::OwnerThenPaths, 2},
    {"chgrp",     "/usr/bin/chgrp",    "PRfhnvx",       "",     "R",       Operands::GroupThenPaths, 2},
    {"kill",      "/bin/kill",         "",              "s",    "",        Operands::ProcessIds,     1,     kAny, true},
    {"killall",   "/usr/bin/killall",  "eqsv",          "",     "",        Operands::ProcessNames,   1,     kAny, true},
    {"touch",     "/usr/bin/touch",    "acfhm",         "dt",   "",        Operands::Paths,          1},
    {"mkdir",     "/bin/mkdir",        "pv",            "m",    "",        Operands::Paths,          1},
    {"echo",      "/bin/echo",         "",              "",     "",        Operands::Text},
    {"true",      "/usr/bin/true",     "",              "",     "",        Operands::Text},
    {"false",     "/usr/bin/false",    "",              "",     "",        Operands::Text},
    {"sleep",     "/bin/sleep",        "",              "",     "",        Operands::Seconds,        1,     1},
    {"test",      "/bin/test",         "",              "",     "",        Operands::TestExpression},
    {"[",         "/bin/[",            "",              "",     "",        Operands::TestExpression},
    {"launchctl", "/bin/launchctl",    "",              "",     "",        Operands::LaunchdJobs,    1},
}};
// clang-format on

// System programs that are banned even when the system's /sbin and /usr/sbin cannot be listed.
constexpr std::array<std::string_view, 33> kAlwaysBanned = {
    "shutdown", "reboot",       "halt",           "fastboot",  "fasthalt",   "diskutil", "nvram",
    "csrutil",  "kextunload",   "kextload",       "kextutil",  "kmutil",     "launchd",  "bless",
    "pmset",    "systemsetup",  "mount",          "umount",    "fdisk",      "gpt",      "pdisk",
    "asr",      "tmutil",       "softwareupdate", "installer", "spctl",      "sysctl",   "ifconfig",
    "route",    "networksetup", "scutil",         "dscl",      "sysadminctl"};
// … and every variant of these.
constexpr std::array<std::string_view, 3> kAlwaysBannedPrefixes = {"fsck", "newfs", "mount_"};

// Words the shell reads as its own syntax.
constexpr std::array<std::string_view, 18> kShellSyntax = {
    "if",   "then", "else", "elif",   "fi",       "for",  "while",  "until", "do",
    "done", "case", "esac", "select", "function", "time", "coproc", "[[",    "]]"};

// Process names killall may not be given.
constexpr std::array<std::string_view, 2> kSystemProcesses = {"launchd", "loginwindow"};

template <size_t N> bool isOneOf(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool allOf(std::string_view text, std::string_view allowed) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [&](char c) { return allowed.find(c) != std::string_view::npos; });
}

constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kNameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-";

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return out;
}

const CommandRule* ruleFor(std::string_view name) {
    const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                    [&](const CommandRule& rule) { return rule.name == name; });
    return found == kCommands.end() ? nullptr : &*found;
}

// "9", "KILL", "SIGTERM": a signal as kill and killall take it after "-".
bool isSignal(std::string_view text) {
    return (allOf(text, kDigits) && text.size() <= 2) ||
           (allOf(text, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") && text.size() <= 12 &&
            std::isupper(static_cast<unsigned char>(text.front())) != 0);
}

// Whether the last component of an fnmatch(3) pattern has a character that must match as itself.
bool hasLiteral(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '[') {
            const size_t close = pattern.find(']', i + 2);
            if (close != std::string_view::npos) {
                i = close;
                continue;
            }
        }
        if (pattern[i] != '*' && pattern[i] != '?') {
            return true;
        }
    }
    return false;
}

// A word given to the program as it is.
Argument plain(std::string text) {
    Argument argument;
    argument.text = std::move(text);
    return argument;
}

// Where the first wildcard of an fnmatch(3) pattern is; npos for none.
size_t firstWildcard(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\') {
            ++i;
        } else if (pattern[i] == '*' || pattern[i] == '?' || pattern[i] == '[') {
            return i;
        }
    }
    return std::string_view::npos;
}

// A path screened as the command would find it: as written, and where the links on the way lead.
Refusal screenPath(const CommandScreener& screener, const std::string& path, Reach reach) {
    if (Refusal refusal = screener.protectedFor(path, reach)) {
        return refusal;
    }
    const std::string real = RealPath::resolve(path);
    if (real == path) {
        return std::nullopt;
    }
    const Refusal through = screener.protectedFor(real, reach);
    return through ? Refusal(path + " leads to " + *through) : std::nullopt;
}

// Reads one command's words against its rule, building the arguments it will run with.
class CommandReader {
public:
    CommandReader(const CommandScreener& screener, const CommandRule& rule, const Words& words)
        : mScreener(screener), mRule(rule), mWords(words) {}

    Refusal read(std::vector<Argument>& arguments);

private:
    Refusal options();
    Refusal operands();
    Refusal paths(size_t from);
    Refusal path(const Word& word, bool propertyList = false);
    Refusal text(const Word& word);
    Refusal testExpression();
    Refusal launchdJobs();
    Refusal label(const Word& word);
    std::string name() const { return std::string(mRule.name); }
    Reach reach() const { return mRecursive || mRule.moves ? Reach::ItemAndBelow : Reach::Item; }

    const CommandScreener& mScreener;
    const CommandRule& mRule;
    const Words& mWords;
    std::vector<Argument> mArguments;
    size_t mNext = 1;
    bool mRecursive = false;
};

Refusal CommandReader::read(std::vector<Argument>& arguments) {
    const bool takesOptions = mRule.operands != Operands::Text && mRule.operands != Operands::Seconds &&
                              mRule.operands != Operands::TestExpression &&
                              mRule.operands != Operands::LaunchdJobs;
    if (takesOptions) {
        if (Refusal refusal = options()) {
            return refusal;
        }
    }
    const size_t count = mWords.size() - mNext;
    if (count < mRule.least) {
        return name() + " is given too few operands";
    }
    if (count > mRule.most) {
        return name() + " is given too many operands";
    }
    if (Refusal refusal = operands()) {
        return refusal;
    }
    arguments = std::move(mArguments);
    return std::nullopt;
}

// Options come first, as the system's programs read them: single letters, grouped or not, a value
// attached or in the next word, "--" ending them.
Refusal CommandReader::options() {
    for (; mNext < mWords.size(); ++mNext) {
        const Word& word = mWords[mNext];
        const std::string& option = word.text;
        if (option == "--") {
            mArguments.push_back(plain(option));
            ++mNext;
            return std::nullopt;
        }
        if (option.size() < 2 || option.front() != '-') {
            return std::nullopt;
        }
        if (word.isPattern()) {
            return "the option " + option + " is a pattern";
        }
        mArguments.push_back(plain(option));
        if (mRule.signals && mNext == 1 && isSignal(std::string_view(option).substr(1))) {
            continue;
        }
        if (option[1] == '-') {
            return name() + " does not take the option " + option;
        }
        for (size_t k = 1; k < option.size(); ++k) {
            const char letter = option[k];
            if (mRule.valued.find(letter) != std::string_view::npos) {
                std::string value = option.substr(k + 1);
                if (value.empty() && mNext + 1 < mWords.size()) {
                    value = mWords[++mNext].text;
                    if (mWords[mNext].isPattern()) {
                        return "the value of " + name() + " -" + letter + " is a pattern";
                    }
                    mArguments.push_back(plain(value));
                }
                if (value.empty() || value.find('/') != std::string::npos) {
                    return name() + " -" + letter + " needs a value that is not a path";
                }
                break;
            }
            if (mRule.flags.find(letter) == std::string_view::npos) {
                return name() + " does not take the option -" + std::string(1, letter);
            }
            mRecursive = mRecursive || mRule.recursive.find(letter) != std::string_view::npos;
        }
    }
    return std::nullopt;
}

Refusal CommandReader::operands() {
    switch (mRule.operands) {
    case Operands::Paths:
        return paths(mNext);
    case Operands::ModeThenPaths:
        if (!allOf(mWords[mNext].text, "01234567ugoarwxXst+-=,") || mWords[mNext].isPattern()) {
            return "\"" + mWords[mNext].text + "\" is not a mode chmod takes";
        }
        mArguments.push_back(plain(mWords[mNext].text));
        return paths(mNext + 1);
    case Operands::OwnerThenPaths:
    case Operands::GroupThenPaths: {
        // NAME, or for chown also NAME:GROUP, NAME: or :GROUP.
        const std::string& owner = mWords[mNext].text;
        const size_t colon = mRule.operands == Operands::OwnerThenPaths ? owner.find(':') : std::string::npos;
        const std::string user = owner.substr(0, colon);
        const std::string group = colon == std::string::npos ? "" : owner.substr(colon + 1);
        const bool valid = (user.empty() || allOf(user, kNameCharacters)) &&
                           (group.empty() || allOf(group, kNameCharacters)) &&
                           !(user.empty() && group.empty());
        if (!valid || mWords[mNext].isPattern()) {
            return "\"" + owner + "\" is not an owner " + name() + " takes";
        }
        mArguments.push_back(plain(owner));
        return paths(mNext + 1);
    }
    case Operands::ProcessIds:
        for (size_t i = mNext; i < mWords.size(); ++i) {
            // "-1" is every process and "-N" a whole group; ids up to 99 are the system's own.
            const std::string& id = mWords[i].text;
            if (!allOf(id, kDigits) || id.size() > 10 || std::stoull(id) <= 99) {
                return "kill may only name process ids above 99, not \"" + id + "\"";
            }
            mArguments.push_back(plain(id));
        }
        return std::nullopt;
    case Operands::ProcessNames:
        for (size_t i = mNext; i < mWords.size(); ++i) {
            const std::string& process = mWords[i].text;
            if (process.empty() || process.find('/') != std::string::npos || mWords[i].isPattern()) {
                return "\"" + process + "\" is not a process name killall takes";
            }
            if (isOneOf(kSystemProcesses, lowered(process))) {
                return "killall may not stop " + process;
            }
            mArguments.push_back(plain(process));
        }
        return std::nullopt;
    case Operands::Text:
        for (size_t i = mNext; i < mWords.size(); ++i) {
            mArguments.push_back(plain(mWords[i].text));
        }
        return std::nullopt;
    case Operands::Seconds: {
        const std::string& seconds = mWords[mNext].text;
        const size_t point = seconds.find('.');
        if (!allOf(seconds.substr(0, point), kDigits) ||
            (point != std::string::npos && !allOf(seconds.substr(point + 1), kDigits))) {
            return "\"" + seconds + "\" is not a number of seconds";
        }
        mArguments.push_back(plain(seconds));
        return std::nullopt;
    }
    case Operands::TestExpression:
        return testExpression();
    case Operands::LaunchdJobs:
        return launchdJobs();
    }
    return "the operands of " + name() + " are not understood";
}

Refusal CommandReader::paths(size_t from) {
    if (from >= mWords.size()) {
        return name() + " names no path";
    }
    for (size_t i = from; i < mWords.size(); ++i) {
        if (Refusal refusal = path(mWords[i])) {
            return refusal;
        }
    }
    return std::nullopt;
}

Refusal CommandReader::path(const Word& word, bool propertyList) {
    std::string written = word.text;
    // Script lines run from "/".
    if (written == "." || written.rfind("./", 0) == 0) {
        written = "/" + written;
    }
    if (written.empty() || written.front() != '/') {
        return "\"" + word.text + "\" is not an absolute path";
    }
    const std::vector<std::string> parts = path::components(written);
    if (std::find(parts.begin(), parts.end(), "..") != parts.end()) {
        return "\"..\" in " + word.text + " is refused";
    }
    if (propertyList && !path::comparisonKey(written).ends_with(".plist")) {
        return "launchctl takes property lists (.plist), not " + word.text;
    }
    Argument argument = plain(path::standardize(written));
    argument.isPath = true;
    argument.reach = reach();
    if (!word.isPattern()) {
        if (Refusal refusal = screenPath(mScreener, argument.text, argument.reach)) {
            return refusal;
        }
        mArguments.push_back(std::move(argument));
        return std::nullopt;
    }
    const size_t slash = word.pattern.rfind('/');
    if (slash == std::string::npos || firstWildcard(word.pattern) < slash) {
        return "a pattern may only be the last part of a path: " + word.text;
    }
    argument.pattern = word.pattern.substr(slash + 1);
    // A pattern of nothing but wildcards stands for everything in its folder.
    const std::string screened =
        hasLiteral(argument.pattern) ? argument.text : path::deletingLastComponent(argument.text);
    if (Refusal refusal = screenPath(mScreener, screened, argument.reach)) {
        return refusal;
    }
    // And what it matches now, each as a path of its own.
    const CommandScreener::Prepared now =
        mScreener.prepare(CommandScreener::Command{ScriptLine::Joint::Always, "", {argument}});
    if (now.refusal) {
        return now.refusal;
    }
    argument.matches = now.words;
    mArguments.push_back(std::move(argument));
    return std::nullopt;
}

Refusal CommandReader::text(const Word& word) {
    if (word.isPattern()) {
        return "a pattern is refused in " + name() + ": " + word.text;
    }
    mArguments.push_back(plain(word.text));
    return std::nullopt;
}

// [ EXPRESSION ] or test EXPRESSION, where EXPRESSION is "!" at most once, then nothing, a string, a file
// test and its path, -n or -z and a string, or two strings compared with "=" or "!=".
Refusal CommandReader::testExpression() {
    size_t end = mWords.size();
    if (mRule.name == "[") {
        if (end - mNext < 1 || mWords[end - 1].text != "]" || mWords[end - 1].isPattern()) {
            return "[ must end with ]";
        }
        --end;
    }
    size_t i = mNext;
    if (i < end && mWords[i].text == "!") {
        mArguments.push_back(plain("!"));
        ++i;
    }
    const size_t count = end - i;
    static constexpr std::string_view fileTests = "bcdefghkLprsSuwxOG";
    Refusal refusal;
    if (count == 1) {
        refusal = text(mWords[i]);
    } else if (count == 2 && mWords[i].text.size() == 2 && mWords[i].text.front() == '-' &&
               fileTests.find(mWords[i].text[1]) != std::string_view::npos) {
        mArguments.push_back(plain(mWords[i].text));
        refusal = mWords[i + 1].isPattern() ? Refusal("a pattern is refused in a test: " + mWords[i + 1].text)
                                            : path(mWords[i + 1]);
    } else if (count == 2 && (mWords[i].text == "-n" || mWords[i].text == "-z")) {
        mArguments.push_back(plain(mWords[i].text));
        refusal = text(mWords[i + 1]);
    } else if (count == 3 && (mWords[i + 1].text == "=" || mWords[i + 1].text == "!=")) {
        refusal = text(mWords[i]);
        if (!refusal) {
            mArguments.push_back(plain(mWords[i + 1].text));
            refusal = text(mWords[i + 2]);
        }
    } else if (count != 0) {
        return name() + " is given an expression that is not a file test or a string comparison";
    }
    if (!refusal && mRule.name == "[") {
        mArguments.push_back(plain("]"));
    }
    return refusal;
}

// launchctl unload [-w] PLIST…, bootout DOMAIN/LABEL, bootout DOMAIN PLIST…, remove LABEL, stop LABEL.
Refusal CommandReader::launchdJobs() {
    const std::string& subcommand = mWords[mNext].text;
    mArguments.push_back(plain(subcommand));
    size_t i = mNext + 1;
    const auto plists = [&](size_t from) -> Refusal {
        if (from >= mWords.size()) {
            return "launchctl " + subcommand + " names no property list";
        }
        for (size_t k = from; k < mWords.size(); ++k) {
            if (Refusal refusal = path(mWords[k], /*propertyList=*/true)) {
                return refusal;
            }
        }
        return std::nullopt;
    };
    if (subcommand == "unload") {
        if (i < mWords.size() && mWords[i].text == "-w") {
            mArguments.push_back(plain("-w"));
            ++i;
        }
        return plists(i);
    }
    if (subcommand == "remove" || subcommand == "stop") {
        if (mWords.size() != i + 1) {
            return "launchctl " + subcommand + " takes one label";
        }
        return label(mWords[i]);
    }
    if (subcommand != "bootout") {
        return "the uninstaller does not run launchctl " + subcommand;
    }
    if (i >= mWords.size()) {
        return "launchctl bootout names no domain";
    }
    // "system" or "gui/UID" or "user/UID", then "/LABEL" or the property lists.
    const std::string& target = mWords[i].text;
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t slash = target.find('/', start);
        parts.push_back(target.substr(start, slash == std::string::npos ? slash : slash - start));
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    const bool system = parts[0] == "system" && parts.size() <= 2;
    const bool perUser = (parts[0] == "gui" || parts[0] == "user") && parts.size() >= 2 &&
                         parts.size() <= 3 && allOf(parts[1], kDigits);
    if ((!system && !perUser) || mWords[i].isPattern()) {
        return "launchctl bootout: \"" + target + "\" is not a domain the uninstaller knows";
    }
    const size_t labelAt = system ? 1 : 2;
    if (parts.size() <= labelAt) {
        if (i + 1 >= mWords.size()) {
            return "launchctl bootout of the whole domain " + target + " is refused";
        }
        mArguments.push_back(plain(target));
        return plists(i + 1);
    }
    if (i + 1 != mWords.size()) {
        return "launchctl bootout takes a label or property lists, not both";
    }
    if (Refusal refusal = label(Word{parts[labelAt], ""})) {
        return refusal;
    }
    mArguments.back().text = target;
    return std::nullopt;
}

Refusal CommandReader::label(const Word& word) {
    const std::string& job = word.text;
    if (!allOf(job, kNameCharacters) || word.isPattern()) {
        return "\"" + job + "\" is not a launchd label";
    }
    if (lowered(job).rfind("com.apple.", 0) == 0) {
        return "the launchd job " + job + " belongs to the system";
    }
    mArguments.push_back(plain(job));
    return std::nullopt;
}

// The pattern's folder listed now, without following a link at it, and the names that match.
std::vector<std::string> expand(const Argument& argument) {
    const std::string folder = path::deletingLastComponent(argument.text);
    std::vector<std::string> matches;
    ConfinedWalker walker;
    for (const std::string& entry : walker.folderEntries(folder).value_or(std::vector<std::string>())) {
        // A leading "." must be matched by one, as in the shell.
        if (::fnmatch(argument.pattern.c_str(), entry.c_str(), FNM_PERIOD) == 0) {
            matches.push_back(path::join(folder, entry));
        }
    }
    return matches;
}

// A pattern written back: its folder quoted where needed, its last component as written.
std::string patternText(const Argument& argument) {
    const std::string folder = path::deletingLastComponent(argument.text);
    return ScriptLine::quoted(folder == "/" ? "/" : folder + "/") + path::lastComponent(argument.text);
}

} // namespace

std::string CommandScreener::Command::text() const {
    std::string out = program;
    for (const Argument& argument : arguments) {
        out += " " + (argument.pattern.empty() ? ScriptLine::quoted(argument.text) : patternText(argument));
    }
    return out;
}

CommandScreener::CommandScreener(const std::vector<std::string>& banned,
                                 const std::vector<std::string>& individual,
                                 const std::vector<std::string>& lowerLayer)
    : mBanned(banned), mIndividual(individual), mLowerLayer(lowerLayer) {}

bool CommandScreener::isBanned(std::string_view name) const {
    return std::find(mBanned.begin(), mBanned.end(), name) != mBanned.end() || isOneOf(kAlwaysBanned, name) ||
           std::any_of(kAlwaysBannedPrefixes.begin(), kAlwaysBannedPrefixes.end(),
                       [&](std::string_view prefix) { return name.substr(0, prefix.size()) == prefix; });
}

CommandScreener::Line CommandScreener::screen(std::string_view line) const {
    ScriptLine::Parsed parsed = ScriptLine::parse(line);
    if (parsed.refusal) {
        return {{}, parsed.refusal};
    }
    Line screened;
    for (const ScriptLine::Command& parsedCommand : parsed.commands) {
        const std::string& written = parsedCommand.words.front().text;
        const std::string name = written.empty() ? written : path::lastComponent(written);
        const CommandRule* rule = ruleFor(name);
        Refusal refusal;
        if (name.empty() || name == "/") {
            refusal = "a command without a name";
        } else if (isBanned(name)) {
            refusal = "\"" + name + "\" is a system administration program";
        } else if (isOneOf(kShellSyntax, name)) {
            refusal = "\"" + name + "\" is shell syntax, which the uninstaller does not run";
        } else if (parsedCommand.words.front().isPattern()) {
            refusal = "the command " + written + " is a pattern";
        } else if (rule == nullptr) {
            refusal = "the uninstaller does not run " + name;
        } else if (written.find('/') != std::string::npos && path::standardize(written) != rule->program) {
            refusal = written;
            *refusal += " is not the system's " + name + " (" + std::string(rule->program) + ")";
        }
        Command command{parsedCommand.joint, std::string(rule != nullptr ? rule->program : ""), {}};
        if (!refusal) {
            refusal = CommandReader(*this, *rule, parsedCommand.words).read(command.arguments);
        }
        if (refusal) {
            return {{}, refusal};
        }
        screened.commands.push_back(std::move(command));
    }
    return screened;
}

CommandScreener::Prepared CommandScreener::prepare(const Command& command) const {
    Prepared prepared;
    for (const Argument& argument : command.arguments) {
        if (!argument.isPath) {
            prepared.words.push_back(argument.text);
            continue;
        }
        const std::vector<std::string> paths =
            argument.pattern.empty() ? std::vector<std::string>{argument.text} : expand(argument);
        if (paths.empty() && !prepared.unmatched) {
            prepared.unmatched = patternText(argument);
        }
        for (const std::string& path : paths) {
            if (Refusal refusal = screenPath(*this, path, argument.reach); refusal && !prepared.refusal) {
                prepared.refusal = argument.pattern.empty()
                                       ? *refusal
                                       : *refusal + " (matched by " + patternText(argument) + ")";
            }
            prepared.words.push_back(path);
        }
    }
    return prepared;
}

std::optional<std::string> CommandScreener::protectedFor(const std::string& path, Reach reach) const {
    if (SystemFloor::contains(path)) {
        return path + " is a system folder";
    }
    if (const std::optional<std::string_view> why = SystemFloor::untouchableBecause(path)) {
        return path + " is protected (" + std::string(*why) + ")";
    }
    if (AnalyzeCommandManager::isIndividualPath(mIndividual, path) ||
        AnalyzeCommandManager::isLowerLayerPath(mLowerLayer, path)) {
        return path + " is protected";
    }
    if (reach == Reach::Item) {
        return std::nullopt;
    }
    if (SystemFloor::containsBelow(path) || SystemFloor::holdsUntouchable(path)) {
        return path + " holds a system folder or files no uninstall may touch";
    }
    for (const std::vector<std::string>* list : {&mIndividual, &mLowerLayer}) {
        for (const std::string& entry : *list) {
            if (path::isStrictlyWithin(entry, path)) {
                std::string reason = path + " holds the protected folder ";
                return reason.append(entry);
            }
        }
    }
    return std::nullopt;
}
