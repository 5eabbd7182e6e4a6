#include "platform/DirectoryHandle.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

std::optional<DirectoryHandle> DirectoryHandle::fromDescriptor(UniqueFd fd) {
    if (!fd.valid()) {
        return std::nullopt;
    }
    DIR* dir = ::fdopendir(fd.get());
    if (dir == nullptr) {
        return std::nullopt;
    }
    fd.release();
    return DirectoryHandle(dir);
}

std::optional<DirectoryHandle> DirectoryHandle::open(const std::string& hostPath) {
    return fromDescriptor(UniqueFd(::open(hostPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
}

const dirent* DirectoryHandle::next() {
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(mDir.get());
        if (entry == nullptr) {
            return nullptr;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            return entry;
        }
    }
}

std::optional<std::vector<std::string>> DirectoryHandle::sortedNames() {
    std::vector<std::string> names;
    while (const dirent* entry = next()) {
        names.emplace_back(entry->d_name);
    }
    if (errno != 0) {
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

int DirectoryHandle::descriptor() const {
    return ::dirfd(mDir.get());
}
