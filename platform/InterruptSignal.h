#pragma once

#include <string>

/// SIGINT and SIGTERM as a request to stop after the work in hand, for a program that must never stop
/// half-way through: the first signal only sets a flag (and prints a notice); a run checks it when it
/// may stop.
class InterruptSignal {
public:
    /// Catches both signals from now on; `notice` (a line) is written to standard error on the first.
    static void install(const std::string& notice);

    /// True once either signal arrived.
    static bool received();
};
