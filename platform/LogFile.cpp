#include "platform/LogFile.h"

#include "platform/ConfinedWalker.h"
#include "platform/Path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Why what stands at a log's path is no log of its own; "" when it is a regular file with one name.
std::string notAPlainFile(const struct stat& st) {
    if (S_ISLNK(st.st_mode)) {
        return "it is a symbolic link";
    }
    if (!S_ISREG(st.st_mode)) {
        return S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
    }
    return st.st_nlink > 1 ? "it has other names (a hard link)" : "";
}

// Opens `name` in `folderFd` (AT_FDCWD for a host path) after looking at what is there without opening
// it, and checks the opened file again, since the name may have changed in between.
UniqueFd openPlain(int folderFd, const char* name, std::string& error) {
    struct stat before {};
    if (::fstatat(folderFd, name, &before, AT_SYMLINK_NOFOLLOW) == 0) {
        error = notAPlainFile(before);
        if (!error.empty()) {
            return UniqueFd();
        }
    } else if (errno != ENOENT) {
        error = std::strerror(errno);
        return UniqueFd();
    }
    UniqueFd fd(::openat(folderFd, name, kFlags, 0644));
    if (!fd.valid()) {
        error = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
        return fd;
    }
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0) {
        error = std::strerror(errno);
        return UniqueFd();
    }
    error = notAPlainFile(opened);
    return error.empty() ? std::move(fd) : UniqueFd();
}

std::string reasonOf(ConfinedWalker::Status status) {
    switch (status) {
    case ConfinedWalker::Status::Found:
        return {};
    case ConfinedWalker::Status::Missing:
    case ConfinedWalker::Status::NotAFolder:
        return "its folder does not exist";
    case ConfinedWalker::Status::UnsafeLink:
        return "its folder is reached through a symbolic link";
    case ConfinedWalker::Status::Failed:
        break;
    }
    return std::strerror(errno);
}

} // namespace

std::optional<LogFile> LogFile::openInSystem(const std::string& systemPath, std::string& error) {
    ConfinedWalker walker;
    ConfinedWalker::Parent parent = walker.parentOf(systemPath);
    if (parent.status == ConfinedWalker::Status::Missing) {
        // A system without its Logs folder yet: make that one folder, nothing above it.
        const std::string folder =
            path::deletingLastComponent(path::standardize(path::join("/", systemPath)));
        const ConfinedWalker::Parent above = walker.parentOf(folder);
        if (above.status == ConfinedWalker::Status::Found) {
            ::mkdirat(above.fd, above.name.c_str(), 0755);
        }
        parent = walker.parentOf(systemPath);
    }
    if (parent.status != ConfinedWalker::Status::Found || parent.name == ".") {
        error = reasonOf(parent.status);
        return std::nullopt;
    }
    UniqueFd fd = openPlain(parent.fd, parent.name.c_str(), error);
    if (!fd.valid()) {
        return std::nullopt;
    }
    return LogFile(std::move(fd));
}

std::optional<LogFile> LogFile::openOnHost(const std::string& hostPath, std::string& error) {
    UniqueFd fd = openPlain(AT_FDCWD, hostPath.c_str(), error);
    if (!fd.valid()) {
        return std::nullopt;
    }
    return LogFile(std::move(fd));
}

bool LogFile::append(const std::string& text) const {
    const ssize_t written = ::write(mFd.get(), text.data(), text.size());
    return written >= 0 && static_cast<size_t>(written) == text.size();
}
