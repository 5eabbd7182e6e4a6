#pragma once

#include <optional>
#include <string>

/// The terminal the program was started from, for questions to the user.
class Terminal {
public:
    /// True when standard input and standard error are both a terminal.
    static bool isInteractive();

    /// Reads one line from standard input (without its line break); nullopt at its end.
    static std::optional<std::string> readLine();
};
