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
/// no entries at all; how much is read is bounded by Limits. Names are taken as stored, without the
/// NULs that end them; a name such as ".." or one holding a line feed is listed like any other (keeping
/// paths inside an install folder is the caller's business).
class BomReader {
public:
    /// The longest path an entry may have: no system call takes a longer one, so deeper entries are left
    /// out rather than built (a chain of folders would otherwise cost quadratic memory).
    static constexpr size_t kMaxPathLength = PATH_MAX - 1;

    /// How large a BOM may be. Beyond any real package, so that a hostile file costs bounded memory.
    struct Limits {
        size_t fileSize = size_t{128} << 20;  ///< bytes of the file
        size_t entries = 1000000;             ///< entries of its Paths tree
        size_t pathBytes = size_t{128} << 20; ///< the lengths of all entries' paths together
    };

    /// The entries of the BOM in `bytes`; nullopt, with `error` saying why, when the bytes are no
    /// readable BOM or exceed the limits. Entries whose path would exceed kMaxPathLength are left out
    /// and counted in `leftOut`.
    static std::optional<std::vector<BomEntry>> read(std::string_view bytes, std::string& error,
                                                     size_t& leftOut, const Limits& limits);
    static std::optional<std::vector<BomEntry>> read(std::string_view bytes, std::string& error,
                                                     size_t& leftOut) {
        return read(bytes, error, leftOut, Limits());
    }
    static std::optional<std::vector<BomEntry>> read(std::string_view bytes, std::string& error) {
        size_t leftOut = 0;
        return read(bytes, error, leftOut);
    }

    /// The entries of the BOM read from an open descriptor to its end; nullopt, with `error` set, when
    /// it cannot be read, is larger than the limit or is no readable BOM.
    static std::optional<std::vector<BomEntry>> readOpenFile(int fd, std::string& error, size_t& leftOut,
                                                             const Limits& limits);
    static std::optional<std::vector<BomEntry>> readOpenFile(int fd, std::string& error, size_t& leftOut) {
        return readOpenFile(fd, error, leftOut, Limits());
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
