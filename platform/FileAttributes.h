#pragma once

#include <cstdint>

/// The kind of a file-system item, as the file manager reports it.
enum class FileType {
    Regular,
    Directory,
    SymbolicLink,
    CharacterSpecial,
    BlockSpecial,
    Socket,
    Fifo,
    Unknown
};

/// Attributes of one item, taken without following a symbolic link.
struct FileAttributes {
    FileType type = FileType::Unknown;
    /// Logical size in bytes; for a symbolic link the length of its target.
    uint64_t size = 0;
    uint32_t mode = 0;
    uint32_t uid = 0;
    uint32_t gid = 0;
    int64_t modificationTime = 0;
};
