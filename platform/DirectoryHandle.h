#pragma once

#include "platform/UniqueFd.h"

#include <dirent.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

/// An open folder being listed (a DIR stream), closed when it goes out of scope.
class DirectoryHandle {
public:
    /// Takes over a descriptor of a folder opened for reading; nullopt (errno set) when it cannot be
    /// listed (the descriptor is closed then too).
    static std::optional<DirectoryHandle> fromDescriptor(UniqueFd fd);

    /// Opens a host folder (following links to it); nullopt (errno set) on failure.
    static std::optional<DirectoryHandle> open(const std::string& hostPath);

    /// The next entry, "." and ".." left out; nullptr at the end (errno 0) or on an error (errno set).
    const dirent* next();

    /// The names of all remaining entries (hidden ones included), sorted by their bytes; nullopt when
    /// reading the folder failed.
    std::optional<std::vector<std::string>> sortedNames();

    /// The folder's own descriptor, for *at(2) calls on its entries.
    int descriptor() const;

private:
    struct Closer {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    explicit DirectoryHandle(DIR* dir) : mDir(dir) {}

    std::unique_ptr<DIR, Closer> mDir;
};
