#include "platform/ExtendedAttributes.h"

#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace xattrs {

namespace {

// The names in the NUL-separated list flistxattr gives.
std::optional<std::vector<std::string>> names(int fd) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) {
            if (errno == ENOTSUP) {
                return std::vector<std::string>();
            }
            return std::nullopt;
        }
        std::string buffer(static_cast<size_t>(size), '\0');
        const ssize_t got = ::flistxattr(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == ERANGE) {
            continue; // an attribute was added in between
        }
        if (got < 0) {
            return std::nullopt;
        }
        std::vector<std::string> found;
        for (size_t start = 0; start < static_cast<size_t>(got);) {
            const size_t end = buffer.find('\0', start);
            const size_t stop = end == std::string::npos ? static_cast<size_t>(got) : end;
            if (stop > start) {
                found.emplace_back(buffer, start, stop - start);
            }
            start = stop + 1;
        }
        return found;
    }
    errno = ERANGE;
    return std::nullopt;
}

std::optional<std::string> value(int fd, const std::string& name) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) {
            return std::nullopt;
        }
        std::string buffer(static_cast<size_t>(size), '\0');
        const ssize_t got = ::fgetxattr(fd, name.c_str(), buffer.data(), buffer.size());
        if (got < 0 && errno == ERANGE) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        buffer.resize(static_cast<size_t>(got));
        return buffer;
    }
    errno = ERANGE;
    return std::nullopt;
}

} // namespace

std::optional<List> read(int fd) {
    const std::optional<std::vector<std::string>> listed = names(fd);
    if (!listed) {
        return std::nullopt;
    }
    List attributes;
    for (const std::string& name : *listed) {
        std::optional<std::string> bytes = value(fd, name);
        if (!bytes) {
            if (errno == ENODATA) {
                continue; // removed since it was listed
            }
            return std::nullopt;
        }
        attributes.emplace_back(name, std::move(*bytes));
    }
    return attributes;
}

bool replace(int fd, const List& wanted, std::string& failure) {
    if (const std::optional<std::vector<std::string>> present = names(fd)) {
        for (const std::string& name : *present) {
            const bool isWanted = std::any_of(wanted.begin(), wanted.end(),
                                              [&](const auto& attribute) { return attribute.first == name; });
            if (!isWanted) {
                ::fremovexattr(fd, name.c_str());
            }
        }
    }
    for (const auto& [name, bytes] : wanted) {
        if (::fsetxattr(fd, name.c_str(), bytes.data(), bytes.size(), 0) != 0) {
            failure = "the extended attribute " + name + " cannot be set: " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace xattrs
