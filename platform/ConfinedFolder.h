#pragma once

#include "platform/FileAttributes.h"
#include "platform/UniqueFd.h"

#include <optional>
#include <string>

/// A folder of the system being cleaned, opened once, in which items are looked up by relative path
/// without ever leaving it: no ".." above it and no symbolic link on the way is followed.
///
/// Used for the items a package's bill of materials names below its install location: an item that
/// can only be reached through a link (or by climbing out) is not where the package put it.
class ConfinedFolder {
public:
    /// Opens a system folder (symbolic links on the way to it are followed inside the system root);
    /// nullopt when it is not a folder.
    static std::optional<ConfinedFolder> open(const std::string& systemPath);

    /// Attributes of the item at `relative` (the item itself is not followed); nullopt when it does not
    /// exist, lies outside the folder, or a folder on the way is a symbolic link.
    std::optional<FileAttributes> attributesOf(const std::string& relative) const;

private:
    explicit ConfinedFolder(UniqueFd fd) : mFd(std::move(fd)) {}

    UniqueFd mFd;
};
