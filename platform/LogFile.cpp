#include "platform/LogFile.h"

#include "platform/ConfinedWalker.h"
#include "platform/Path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC;

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
    UniqueFd fd(::openat(parent.fd, parent.name.c_str(), kFlags, 0644));
    if (!fd.valid()) {
        error = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
        return std::nullopt;
    }
    return LogFile(std::move(fd));
}

std::optional<LogFile> LogFile::openOnHost(const std::string& hostPath, std::string& error) {
    UniqueFd fd(::open(hostPath.c_str(), kFlags, 0644));
    if (!fd.valid()) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    return LogFile(std::move(fd));
}

bool LogFile::append(const std::string& text) const {
    const ssize_t written = ::write(mFd.get(), text.data(), text.size());
    return written >= 0 && static_cast<size_t>(written) == text.size();
}
