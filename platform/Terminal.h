#pragma once

#include <optional>
#include <string>

/// The terminal the program was started from, for questions to the user and for how much to tell.
class Terminal {
public:
    /// True when standard input and standard error are both a terminal.
    static bool isInteractive();

    /// True when standard output is a terminal; false for a pipe or a file (a log, a management tool).
    static bool isOutputTerminal();

    /// Reads one line from standard input (without its line break); nullopt at its end.
    static std::optional<std::string> readLine();
};
