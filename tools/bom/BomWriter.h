#pragma once

#include "receipts/BomEntry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

/// Writes BOM files in the layout Apple's mkbom uses, so that macOS lsbom and installer read them.
///
/// The entries are written as given: they need not exist anywhere, their names may be odd ("..",
/// blanks, any bytes but "/" and NUL) and their metadata is taken verbatim. Every path must be "." or
/// "./name/...", and the folder of each entry (up to ".") must itself be an entry. Path ids are given
/// depth-first with children in name order, "." first, as mkbom does.
class BomWriter {
public:
    /// The most paths one branch node over full leaves can hold (510 leaves of 510 entries); deeper
    /// trees were never seen in Apple's files, so they are refused rather than guessed at.
    static constexpr size_t kMaxEntries = size_t{510} * 510;

    /// The BOM bytes for `entries` (in any order); nullopt, with `error` set, for a malformed or
    /// duplicate path, a missing parent folder, more than kMaxEntries paths or a file over 4 GiB.
    static std::optional<std::string> write(const std::vector<BomEntry>& entries, std::string& error);

    /// Writes the BOM to a host path through a temporary file renamed into place, so a failure never
    /// leaves a partial file; false, with `error` set, when anything fails.
    static bool writeFile(const std::string& hostPath, const std::vector<BomEntry>& entries,
                          std::string& error);
};
