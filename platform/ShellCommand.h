#pragma once

#include <optional>
#include <string>

/// Runs a command line through the shell, for the maker's screened script lines: "/bin/sh -c" from the
/// folder "/" (where relative paths in the lines were screened), with /dev/null as its input and output,
/// in a process group of its own so that a Ctrl-C meant for the uninstaller does not cut it short.
class ShellCommand {
public:
    /// Runs the line and waits for it; its exit status (128 + the signal that ended it), or nullopt when
    /// the shell could not start.
    static std::optional<int> run(const std::string& line);
};
