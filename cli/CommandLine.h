#pragma once

#include <optional>
#include <string>
#include <vector>

/// What the command line of uninstaller-cli asks for.
struct CommandLine {
    enum class Command { None, List };

    std::optional<std::string> root; // --root DIR
    Command command = Command::None;
    bool json = false;    // list --json
    bool help = false;    // --help
    bool version = false; // --version
    /// Set when the arguments cannot be used; the text says why.
    std::optional<std::string> error;

    static CommandLine parse(const std::vector<std::string>& arguments);

    /// The usage text: every command and option.
    static std::string usage();
};
