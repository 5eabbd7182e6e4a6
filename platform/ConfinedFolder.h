#pragma once

#include "platform/FileAttributes.h"
#include "platform/UniqueFd.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// A folder of the system being cleaned, opened once, in which items are looked up by relative path
/// without ever leaving it: no ".." above it and no symbolic link on the way is followed.
///
/// Used for the items a package's bill of materials names below its install location: an item that
/// can only be reached through a link (or by climbing out) is not where the package put it. Lookups of
/// neighbouring items (a listing goes folder by folder) reuse the folders opened for the last ones, so
/// that each item costs one look.
class ConfinedFolder {
public:
    /// Opens a system folder (symbolic links on the way to it are followed inside the system root);
    /// nullopt when it is not a folder.
    static std::optional<ConfinedFolder> open(const std::string& systemPath);

    /// Attributes of the item at `relative` (the item itself is not followed); nullopt when it does not
    /// exist, lies outside the folder, or a folder on the way is a symbolic link.
    std::optional<FileAttributes> attributesOf(const std::string& relative) const;

    /// The same for a path already in standard form: "." or names joined by single "/", none of them
    /// "." or "..". Anything else gives nullopt.
    std::optional<FileAttributes> attributesOfStandard(std::string_view relative) const;

private:
    explicit ConfinedFolder(UniqueFd fd) : mFd(std::move(fd)) {}

    // The descriptor of the folder `relative` (standard form, "" for this folder); -1 when it cannot be
    // opened without following a link.
    int folderFd(std::string_view relative) const;

    UniqueFd mFd;
    // Folders opened for recent lookups, each one below the one before it.
    mutable std::vector<std::pair<std::string, UniqueFd>> mOpen;
};
