#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// A regular file of the system being cleaned that is read and then replaced in place (preferences of
/// the Dock and of the login window), reached as ConfinedWalker reaches it: no link but the system's own
/// /etc, /tmp and /var is followed on the way, and the file itself must not be a link. A file that
/// SystemFloor protects is never replaced.
class ConfinedFile {
public:
    enum class Status {
        Read,
        Missing,
        UnsafeLink, // a folder on the way is a link (see ConfinedWalker)
        IsLink,     // the file itself is a symbolic link: left alone
        NotRegular, // a folder, pipe or device
        Unreadable, // it cannot be opened or read, or is larger than asked for
    };

    /// What was read, with what identifies the file and what a replacement must keep.
    struct Contents {
        std::string bytes;
        uint32_t uid = 0;
        uint32_t gid = 0;
        uint32_t mode = 0; // permission bits
        // What tells the file read from one put in its place since (its number may be reused).
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t changeTime = 0; // nanoseconds
        int64_t modificationTime = 0;
    };

    /// Reads a file; anything but Status::Read leaves `contents` empty.
    static Status read(const std::string& systemPath, Contents& contents, size_t maxSize = size_t{64} << 20);

    /// Replaces the file that read() gave `original` for: a new file in the same folder gets the bytes
    /// and the original's owner and mode, and is renamed over it. false, and the file left as it was,
    /// when it has been replaced or removed since it was read, SystemFloor protects it, or anything fails.
    static bool replace(const std::string& systemPath, const Contents& original, const std::string& bytes);
};
