#pragma once

#include "receipts/BomEntry.h"

#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Reads the paths of a BOM ("BOMStore") file.
///
/// The entries come in the order lsbom lists them: depth-first from the top-level entries, the
/// children of each folder in key order (the bytes of their names). The file is not trusted: every
/// block number, offset, length and count is checked, and a file that cannot be read completely gives
/// no entries at all. Names are taken as stored; a name such as ".." is listed like any other (keeping
/// paths inside an install folder is the caller's business).
class BomReader {
public:
    /// The longest path an entry may have: no system call takes a longer one, so deeper entries are left
    /// out rather than built (a chain of folders would otherwise cost quadratic memory).
    static constexpr size_t kMaxPathLength = PATH_MAX - 1;

    /// The entries of the BOM in `bytes`; nullopt, with `error` saying why, when the bytes are no
    /// readable BOM. Entries whose path would exceed kMaxPathLength are left out and counted in `leftOut`.
    static std::optional<std::vector<BomEntry>> read(std::string_view bytes, std::string& error,
                                                     size_t& leftOut);
    static std::optional<std::vector<BomEntry>> read(std::string_view bytes, std::string& error) {
        size_t leftOut = 0;
        return read(bytes, error, leftOut);
    }

    /// The entries of the BOM file at a host path; nullopt, with `error` set, when the file is missing,
    /// unreadable or no readable BOM.
    static std::optional<std::vector<BomEntry>> readFile(const std::string& hostPath, std::string& error,
                                                         size_t& leftOut);
    static std::optional<std::vector<BomEntry>> readFile(const std::string& hostPath, std::string& error) {
        size_t leftOut = 0;
        return readFile(hostPath, error, leftOut);
    }
};
