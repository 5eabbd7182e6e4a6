#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// One path of a bill of materials, with the metadata its record carries.
///
/// `path` is written as lsbom prints it: "." for the top entry, "./a/b" below it, each component as
/// the BOM stores it (nothing is escaped or checked here).
struct BomEntry {
    /// The record's type byte. Values other than these four can come out of a foreign file.
    enum class Type : uint8_t { File = 1, Directory = 2, Link = 3, Device = 4 };

    std::string path;
    Type type = Type::File;
    uint16_t mode = 0; ///< st_mode including the file-type bits (0100644, 040755, 0120755)
    uint32_t uid = 0;
    uint32_t gid = 0;
    uint32_t mtime = 0;    ///< seconds since 1970
    uint64_t size = 0;     ///< for a link the length of its target; records hold the low 32 bits, the
                           ///< Size64 tree the whole size of a file of 4 GiB or more
    uint32_t checksum = 0; ///< cksum of the content or link target; the device number for a device
    std::string linkTarget;

    /// A regular file with this content (size and checksum filled in).
    static BomEntry file(std::string path, std::string_view content, uint16_t mode = 0100644);

    /// A directory.
    static BomEntry directory(std::string path, uint16_t mode = 040755);

    /// A symbolic link to `target` (size and checksum of the target filled in).
    static BomEntry link(std::string path, std::string target, uint16_t mode = 0120755);

    bool operator==(const BomEntry& other) const = default;
};
