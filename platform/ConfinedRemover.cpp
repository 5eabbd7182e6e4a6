#include "platform/ConfinedRemover.h"

#include "platform/Path.h"
#include "platform/SystemFloor.h"
#include "platform/SystemRoot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

namespace {

// The super-user may read everything; anyone else asks the kernel.
bool isReadable(int folderFd, const char* name, int flags) {
    return ::geteuid() == 0 || ::faccessat(folderFd, name, R_OK, AT_EACCESS | flags) == 0;
}

// Deletes everything inside an open folder without entering links; true when all of it went.
bool emptyFolder(int folderFd) {
    const std::optional<std::vector<std::string>> names = ConfinedWalker::entries(folderFd);
    if (!names) {
        return false;
    }
    bool all = true;
    for (const std::string& name : *names) {
        struct stat st {};
        if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            all = all && errno == ENOENT;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            UniqueFd child(::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            const bool emptied = child.valid() && emptyFolder(child.get());
            all = emptied && ::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) == 0 && all;
        } else {
            all = ::unlinkat(folderFd, name.c_str(), 0) == 0 && all;
        }
    }
    return all;
}

} // namespace

ConfinedRemover::Outcome ConfinedRemover::walkFailure(ConfinedWalker::Status status) {
    switch (status) {
    case ConfinedWalker::Status::Found:
        break;
    case ConfinedWalker::Status::Missing:
    case ConfinedWalker::Status::NotAFolder:
        return Outcome::Missing;
    case ConfinedWalker::Status::UnsafeLink:
        return Outcome::UnsafeLink;
    case ConfinedWalker::Status::Failed:
        break;
    }
    mLastError = errno;
    return Outcome::Failed;
}

std::optional<ConfinedRemover::Outcome>
ConfinedRemover::locate(const std::string& systemPath, ConfinedWalker::Parent& parent, struct stat& st) {
    // The last line of defence: the lists were filtered, but nothing a caller asks passes this.
    if (SystemFloor::mayNotTouch(systemPath)) {
        return Outcome::Protected;
    }
    parent = mWalker.parentOf(systemPath);
    if (parent.status != ConfinedWalker::Status::Found) {
        return walkFailure(parent.status);
    }
    if (parent.name == ".") {
        return Outcome::WrongKind; // never the root itself
    }
    if (::fstatat(parent.fd, parent.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Outcome::Missing;
    }
    return std::nullopt;
}

ConfinedRemover::Outcome ConfinedRemover::unlinkEntry(int folderFd, const std::string& name, int flags) {
    if (::unlinkat(folderFd, name.c_str(), flags) == 0) {
        return Outcome::Deleted;
    }
    mLastError = errno;
    if (errno == ENOENT) {
        return Outcome::Missing;
    }
    if (errno == ENOTEMPTY || errno == EEXIST) {
        return Outcome::NotEmpty;
    }
    return errno == EISDIR || errno == ENOTDIR ? Outcome::WrongKind : Outcome::Failed;
}

ConfinedRemover::Outcome ConfinedRemover::removeFile(const std::string& systemPath) {
    ConfinedWalker::Parent parent;
    struct stat st {};
    if (const std::optional<Outcome> failure = locate(systemPath, parent, st)) {
        return *failure;
    }
    if (S_ISDIR(st.st_mode)) {
        return Outcome::WrongKind;
    }
    if (S_ISLNK(st.st_mode)) {
        // The test looks through the link (inside the root); the deletion never does.
        const UniqueFd target = SystemRoot::openInRoot(path::join(parent.physical, parent.name), O_PATH);
        if (!target.valid()) {
            return Outcome::Missing;
        }
        if (!isReadable(target.get(), "", AT_EMPTY_PATH)) {
            return Outcome::NotReadable;
        }
    } else if (!isReadable(parent.fd, parent.name.c_str(), AT_SYMLINK_NOFOLLOW)) {
        return Outcome::NotReadable;
    }
    return unlinkEntry(parent.fd, parent.name, 0);
}

ConfinedRemover::Outcome ConfinedRemover::removeLink(const std::string& systemPath) {
    ConfinedWalker::Parent parent;
    struct stat st {};
    if (const std::optional<Outcome> failure = locate(systemPath, parent, st)) {
        return *failure;
    }
    if (S_ISDIR(st.st_mode)) {
        return Outcome::WrongKind;
    }
    return unlinkEntry(parent.fd, parent.name, 0);
}

ConfinedRemover::Outcome ConfinedRemover::removeFolderIfOnlyHidden(const std::string& systemPath) {
    ConfinedWalker::Parent parent;
    struct stat st {};
    if (const std::optional<Outcome> failure = locate(systemPath, parent, st)) {
        return *failure;
    }
    if (S_ISLNK(st.st_mode)) {
        // A link where a folder was: whatever it leads to is not this software's folder.
        return Outcome::UnsafeLink;
    }
    if (!S_ISDIR(st.st_mode)) {
        return Outcome::WrongKind;
    }
    if (!isReadable(parent.fd, parent.name.c_str(), AT_SYMLINK_NOFOLLOW)) {
        return Outcome::NotReadable;
    }
    UniqueFd folder(
        ::openat(parent.fd, parent.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!folder.valid() || ::fstat(folder.get(), &opened) != 0 || opened.st_ino != st.st_ino ||
        opened.st_dev != st.st_dev) {
        mLastError = errno;
        return Outcome::Failed;
    }
    const std::optional<std::vector<std::string>> names = ConfinedWalker::entries(folder.get());
    if (!names) {
        return Outcome::NotReadable;
    }
    const std::string folderPath = path::join(parent.physical, parent.name);
    for (const std::string& name : *names) {
        if (SystemFloor::mayNotTouch(path::join(folderPath, name))) {
            return Outcome::Protected;
        }
        struct stat entry {};
        if (::fstatat(folder.get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            return Outcome::NotEmpty;
        }
        const bool hidden = name.front() == '.';
        if (S_ISDIR(entry.st_mode) || ((S_ISREG(entry.st_mode) || S_ISLNK(entry.st_mode)) && !hidden)) {
            return Outcome::NotEmpty;
        }
    }
    for (const std::string& name : *names) {
        ::unlinkat(folder.get(), name.c_str(), 0);
    }
    // Anything that appeared since the check makes this fail, and the folder stays.
    return unlinkEntry(parent.fd, parent.name, AT_REMOVEDIR);
}

ConfinedRemover::Outcome ConfinedRemover::removeTree(const std::string& systemPath) {
    if (SystemFloor::holdsUntouchable(systemPath)) {
        return Outcome::Protected;
    }
    ConfinedWalker::Parent parent;
    struct stat st {};
    if (const std::optional<Outcome> failure = locate(systemPath, parent, st)) {
        return *failure;
    }
    if (!S_ISDIR(st.st_mode)) {
        return unlinkEntry(parent.fd, parent.name, 0);
    }
    UniqueFd folder(
        ::openat(parent.fd, parent.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        mLastError = errno;
        return Outcome::Failed;
    }
    if (!emptyFolder(folder.get())) {
        mLastError = errno;
        return Outcome::Failed;
    }
    return unlinkEntry(parent.fd, parent.name, AT_REMOVEDIR);
}
