#include "platform/Terminal.h"

#include <unistd.h>

#include <iostream>

bool Terminal::isInteractive() {
    return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1;
}

bool Terminal::isOutputTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

std::optional<std::string> Terminal::readLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    return line;
}
