#pragma once

#include <optional>
#include <string>
#include <vector>

/// What the command line of uninstaller-cli asks for.
struct CommandLine {
    enum class Command { None, List, Plan, Uninstall };

    std::optional<std::string> root; // --root DIR
    Command command = Command::None;
    bool json = false;                  // list --json, plan --json
    bool help = false;                  // --help
    bool version = false;               // --version
    bool all = false;                   // plan --all, uninstall --all: every row
    bool yes = false;                   // uninstall --yes: no question
    std::optional<std::string> logFile; // uninstall --log FILE
    std::vector<std::string> names;     // the rows to plan or uninstall, as list prints them
    /// Set when the arguments cannot be used; the text says why.
    std::optional<std::string> error;

    static CommandLine parse(const std::vector<std::string>& arguments);

    /// The usage text: every command and option.
    static std::string usage();
};
