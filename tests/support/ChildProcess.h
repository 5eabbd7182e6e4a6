#pragma once

#include <functional>
#include <string>
#include <vector>

/// A program of the build run as a child process, its two output streams kept apart, so that a test
/// sees exactly what a user at a terminal would.
struct ChildProcess {
    int exitStatus = -1; ///< -1 when it could not start; 128 + the signal when a signal ended it
    std::string out;
    std::string err;

    /// Runs `program` with `arguments` (standard input /dev/null); when it cannot start, the exit status
    /// is -1 and `err` says so.
    static ChildProcess run(const std::string& program, const std::vector<std::string>& arguments);

    /// Runs `program` on a terminal of its own (a pseudo-terminal) that types `input`, as a user at a
    /// terminal would; `out` is everything the terminal showed, both streams and the typed input.
    static ChildProcess onTerminal(const std::string& program, const std::vector<std::string>& arguments,
                                   const std::string& input);

    /// Runs the built bundle's uninstaller-cli.
    static ChildProcess cli(const std::vector<std::string>& arguments);

    /// The built uninstaller-cli.
    static std::string cliPath();

    /// Runs one of the bundle's stand-in tools (lsbom, mkbom, pkgutil).
    static ChildProcess helper(const std::string& name, const std::vector<std::string>& arguments);

    /// The host path of a stand-in tool in the built bundle's Contents/Helpers.
    static std::string helperPath(const std::string& name);

    /// Called after every run of a program named uninstaller-cli (by cli() or run()) with its arguments
    /// and what it did, so that a test program can check all of its output in one place; an empty
    /// function stops the calls.
    using CliObserver =
        std::function<void(const std::vector<std::string>& arguments, const ChildProcess& run)>;
    static void observeCli(CliObserver observer);
};
