#pragma once

#include "platform/FileAttributes.h"
#include "platform/HostIo.h"
#include "platform/UniqueFd.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

/// File-manager operations on system paths (see SystemRoot), with one fixed signature for every caller.
///
/// Lookups stay inside the system root. Listings are sorted by name so that every run sees the same order.
class FileManager {
public:
    /// Names of a folder's entries (hidden ones included, not recursive); nullopt when it cannot be listed.
    static std::optional<std::vector<std::string>> contentsOfDirectoryAtPathCDA(const std::string& path);

    /// Attributes of the item itself: a symbolic link at the path is described, never followed. nullopt
    /// when there is no such item.
    static std::optional<FileAttributes> attributesOfItemAtPathCDA(const std::string& path);

    /// True when an item exists at the path, following a symbolic link (a dangling link does not exist).
    static bool fileExistsAtPath(const std::string& path);

    /// True when the item, following a symbolic link, may be read by this process.
    static bool isReadableFileAtPath(const std::string& path);

    /// Every item below a folder, as paths relative to it, parents before their children; symbolic links
    /// are listed but not entered, and a path that is itself a link is not a folder here. nullopt when
    /// the path is not a folder that can be listed.
    static std::optional<std::vector<std::string>> subpathsAtPath(const std::string& path);

    /// The bytes of a regular file (a symbolic link at the path followed inside the root unless
    /// `lastLink` refuses it); nullopt when it cannot be read, is no regular file (a FIFO is never waited
    /// on) or is larger than `maxSize`.
    static std::optional<std::string> contentsAtPath(const std::string& path, size_t maxSize = 64u << 20,
                                                     hostio::LastLink lastLink = hostio::LastLink::Follow);

    /// Opens a regular file for reading, as contentsAtPath() reads it; invalid (errno set) when it is
    /// missing, unreadable or not a regular file.
    static UniqueFd openForReading(const std::string& path,
                                   hostio::LastLink lastLink = hostio::LastLink::Follow);

    /// Creates an empty regular file that did not exist before (a link at the path fails too), readable
    /// and writable by its owner only; false when anything is in the way.
    static bool createFileExclusively(const std::string& path);

    /// Replaces the file at `path` by `bytes` through a new file in the same folder and a rename; a
    /// symbolic link at `path` is replaced, not followed. false when SystemFloor protects the file or
    /// anything fails.
    static bool writeFileAtomically(const std::string& path, const std::string& bytes);
};
