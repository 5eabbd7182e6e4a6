#include "platform/HostIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace hostio {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(wrote));
    }
    return true;
}

std::optional<std::string> readAll(int fd, size_t maxSize) {
    std::string bytes;
    // A regular file says how much is coming; reading into room made once saves the copies of growing.
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        bytes.reserve(std::min(static_cast<size_t>(info.st_size) + 1, maxSize + 1));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return bytes;
        }
        if (bytes.size() + static_cast<size_t>(got) > maxSize) {
            errno = EFBIG;
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

UniqueFd openRegularFile(int dirfd, const std::string& path, LastLink lastLink) {
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (lastLink == LastLink::Refuse) {
        flags |= O_NOFOLLOW;
    }
    return ensureRegularFile(UniqueFd(::openat(dirfd, path.c_str(), flags)));
}

UniqueFd ensureRegularFile(UniqueFd fd) {
    if (!fd.valid()) {
        return fd;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return UniqueFd();
    }
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return UniqueFd();
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::optional<std::string> readRegularFile(const std::string& hostPath, LastLink lastLink, size_t maxSize) {
    const UniqueFd fd = openRegularFile(hostPath, lastLink);
    if (!fd.valid()) {
        return std::nullopt;
    }
    return readAll(fd.get(), maxSize);
}

std::optional<std::string> readLinkAt(int dirfd, const std::string& name) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t got = ::readlinkat(dirfd, name.c_str(), buffer.data(), buffer.size());
        if (got < 0) {
            return std::nullopt;
        }
        if (static_cast<size_t>(got) < buffer.size()) {
            buffer.resize(static_cast<size_t>(got));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace hostio
