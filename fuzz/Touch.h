#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

// What the fuzz targets do with a parser's result: read all of it, so that the sanitizers check every
// byte the parser handed back.
namespace fuzzing {

/// Reads every byte of `text`.
inline void touch(std::string_view text) {
    unsigned char sum = 0;
    for (const char c : text) {
        sum = static_cast<unsigned char>(sum ^ static_cast<unsigned char>(c));
    }
    // Keeps the sum, and so the reads, from being optimized away.
    asm volatile("" : : "r"(sum) : "memory");
}

/// Stops the run, naming `what`, when a property that must hold for every input does not: libFuzzer
/// keeps the input as a crash, the replay test fails.
inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

} // namespace fuzzing
