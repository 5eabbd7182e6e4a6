// The screening of a maker's shell line before the driver runs it: any bytes give a verdict, never a
// crash; the answer is the same however the line is asked about; no admitted command that acts on
// files is given a protected path, a system folder or (when it reaches below its paths) a folder
// holding one; and every command reads back from its report as the words it runs with.

#include "engine/AnalyzeCommandManager.h"
#include "platform/SystemFloor.h"
#include "fuzz/Touch.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// An empty folder as the system root: paths that screening resolves through links find nothing, and
// nothing of the host is looked at.
char gRoot[] = "/tmp/uninstaller-fuzz-root-XXXXXX";
const bool gRootReady = [] {
    if (::mkdtemp(gRoot) == nullptr) {
        return false;
    }
    std::atexit([] { ::rmdir(gRoot); });
    return SystemRoot::set(gRoot);
}();

const std::vector<std::string> kIndividual = {
    "/",      "/Library",    "/Library/Printers",   "/Applications",
    "/Users", "/Users/anna", "/Users/anna/Library", "/Library/Caches"};
const std::vector<std::string> kLowerLayer = {
    "/System", "/bin", "/sbin", "/usr", "/Library/Keychains", "/Users/anna/Library/Keychains"};

AnalyzeCommandManager& manager() {
    static AnalyzeCommandManager screening = [] {
        AnalyzeCommandManager made;
        made.getMBanCommandArray() = {"shutdown", "reboot", "halt", "launchd", "diskutil", "pkgutil", ""};
        return made;
    }();
    return screening;
}

// Whether the command reaches below the paths it is given, read from its options here, apart from
// the screener: rm -r/-R, cp -R/-r/-a, chmod, chown and chgrp -R, and mv always.
bool reachesBelow(const CommandScreener::Command& command) {
    const std::string name = path::lastComponent(command.program);
    if (name == "mv") {
        return true;
    }
    const std::string letters = name == "rm"                                              ? "rR"
                                : name == "cp"                                            ? "rRa"
                                : (name == "chmod" || name == "chown" || name == "chgrp") ? "R"
                                                                                          : "";
    return std::any_of(command.arguments.begin(), command.arguments.end(), [&](const auto& argument) {
        const std::string& word = argument.text;
        return word.size() > 1 && word.front() == '-' && word.find_first_of(letters) != std::string::npos;
    });
}

bool isProtected(const std::string& path, bool below) {
    const auto same = [&](const std::string& entry) { return path::isSameItem(path, entry); };
    const auto within = [&](const std::string& entry) { return path::isWithin(path, entry); };
    const auto holds = [&](const std::string& entry) { return path::isStrictlyWithin(entry, path); };
    if (SystemFloor::mayNotTouch(path) || std::any_of(kIndividual.begin(), kIndividual.end(), same) ||
        std::any_of(kLowerLayer.begin(), kLowerLayer.end(), within)) {
        return true;
    }
    return below &&
           (SystemFloor::holdsUntouchable(path) || std::any_of(kIndividual.begin(), kIndividual.end(), holds) ||
            std::any_of(kLowerLayer.begin(), kLowerLayer.end(), holds));
}

void checkCommand(const CommandScreener::Command& command) {
    const std::string& program = command.program;
    fuzzing::require(program.rfind("/bin/", 0) == 0 || program.rfind("/usr/bin/", 0) == 0 ||
                         program.rfind("/usr/sbin/", 0) == 0,
                     "an admitted command runs a program of the system's own folders");
    const bool onlyLooks = program == "/bin/echo" || program == "/usr/bin/true" ||
                           program == "/usr/bin/false" || program == "/bin/test" || program == "/bin/[" ||
                           program == "/bin/sleep";
    const bool below = reachesBelow(command);
    bool plain = true;
    for (const CommandScreener::Argument& argument : command.arguments) {
        fuzzing::touch(argument.text);
        plain = plain && argument.pattern.empty();
        if (onlyLooks || argument.text.empty() || argument.text.front() != '/') {
            continue;
        }
        fuzzing::require(!isProtected(argument.text, below),
                         "no admitted command is given a protected path or a folder holding one");
        for (const std::string& match : argument.matches) {
            fuzzing::require(!isProtected(match, below), "no pattern of an admitted command matches one");
        }
    }
    if (!plain) {
        return;
    }
    // The command as reports write it reads back as the same program and words.
    const ScriptLine::Parsed reread = ScriptLine::parse(command.text());
    fuzzing::require(!reread.refusal && reread.commands.size() == 1, "a reported command reads back");
    const std::vector<ScriptLine::Word>& words = reread.commands.front().words;
    bool same = words.size() == command.arguments.size() + 1 && words.front().text == program;
    for (size_t i = 0; same && i < command.arguments.size(); ++i) {
        same = words[i + 1].text == command.arguments[i].text;
    }
    fuzzing::require(same, "a reported command reads back as the words it runs with");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::require(gRootReady, "an empty system root");
    const std::string line(reinterpret_cast<const char*>(data), size);
    const AnalyzeCommandManager::Verdict verdict = manager().screenLine(line, kIndividual, kLowerLayer);
    fuzzing::touch(verdict.reason);
    fuzzing::require(verdict.line == line, "the verdict names the line as written");
    fuzzing::require(verdict.admitted == !verdict.commands.empty(), "an admitted line runs commands");
    for (const CommandScreener::Command& command : verdict.commands) {
        checkCommand(command);
    }
    const std::optional<std::vector<std::string>> admitted =
        manager().checkCommandProcess(std::vector<std::string>{line}, kIndividual, kLowerLayer);
    fuzzing::require(admitted && admitted->size() == (verdict.admitted ? 1u : 0u),
                     "a line alone and in a script get the same verdict");
    return 0;
}
