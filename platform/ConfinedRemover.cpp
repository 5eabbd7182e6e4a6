#include "platform/ConfinedRemover.h"

#include "platform/BackupArchive.h"
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

ConfinedRemover::Identity identityOf(const struct stat& st) {
    return {st.st_dev,
            st.st_ino,
            st.st_mode,
            st.st_uid,
            st.st_gid,
            st.st_size,
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// A folder's own times change as its entries go, and its size with them: only what it is counts.
bool isStill(const ConfinedRemover::Claim::Step& step, const struct stat& now) {
    const ConfinedRemover::Identity current = identityOf(now);
    const ConfinedRemover::Identity& was = step.identity;
    if (current.device != was.device || current.inode != was.inode ||
        (current.mode & S_IFMT) != (was.mode & S_IFMT)) {
        return false;
    }
    return step.isFolder || (current.mode == was.mode && current.uid == was.uid && current.gid == was.gid &&
                             current.size == was.size && current.modificationTime == was.modificationTime);
}

UniqueFd openFolderAt(int folderFd, const std::string& name) {
    return UniqueFd(::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
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

ConfinedRemover::Outcome ConfinedRemover::unlinkFailure(int error) {
    mLastError = error;
    if (error == ENOENT) {
        return Outcome::Missing;
    }
    if (error == ENOTEMPTY || error == EEXIST) {
        return Outcome::NotEmpty;
    }
    return error == EISDIR || error == ENOTDIR ? Outcome::WrongKind : Outcome::Failed;
}

bool ConfinedRemover::keep(Claim& claim, int folderFd, const std::string& name, const struct stat& st,
                           const std::string& systemPath) {
    if (mBackup == nullptr) {
        return true;
    }
    std::string why;
    if (mBackup->keep(folderFd, name, st, systemPath, why) == BackupArchive::Keep::Kept) {
        return true;
    }
    mBackupProblem = why;
    claim.outcome = Outcome::NotKept;
    return false;
}

ConfinedRemover::Claim ConfinedRemover::claimFile(const std::string& systemPath) {
    Claim claim;
    ConfinedWalker::Parent parent;
    struct stat st {};
    if (const std::optional<Outcome> failure = locate(systemPath, parent, st)) {
        claim.outcome = *failure;
        return claim;
    }
    if (S_ISDIR(st.st_mode)) {
        claim.outcome = Outcome::WrongKind;
        return claim;
    }
    if (S_ISLNK(st.st_mode)) {
        // The test looks through the link (inside the root); the deletion never does.
        const UniqueFd target = SystemRoot::openInRoot(path::join(parent.physical, parent.name), O_PATH);
        if (!target.valid()) {
            claim.outcome = Outcome::Missing;
            return claim;
        }
        if (!isReadable(target.get(), "", AT_EMPTY_PATH)) {
            claim.outcome = Outcome::NotReadable;
            return claim;
        }
    } else if (!isReadable(parent.fd, parent.name.c_str(), AT_SYMLINK_NOFOLLOW)) {
        claim.outcome = Outcome::NotReadable;
        return claim;
    }
    claim.steps.push_back({parent.physical, parent.name, identityOf(st), false});
    if (keep(claim, parent.fd, parent.name, st, path::join(parent.physical, parent.name))) {
        claim.outcome = Outcome::Deleted;
    }
    return claim;
}

ConfinedRemover::Claim ConfinedRemover::claimLink(const std::string& systemPath) {
    Claim claim;
    ConfinedWalker::Parent parent;
    struct stat st {};
    if (const std::optional<Outcome> failure = locate(systemPath, parent, st)) {
        claim.outcome = *failure;
        return claim;
    }
    if (S_ISDIR(st.st_mode)) {
        claim.outcome = Outcome::WrongKind;
        return claim;
    }
    claim.steps.push_back({parent.physical, parent.name, identityOf(st), false});
    if (keep(claim, parent.fd, parent.name, st, path::join(parent.physical, parent.name))) {
        claim.outcome = Outcome::Deleted;
    }
    return claim;
}

ConfinedRemover::Claim ConfinedRemover::claimFolderIfOnlyHidden(const std::string& systemPath) {
    Claim claim;
    ConfinedWalker::Parent parent;
    struct stat st {};
    if (const std::optional<Outcome> failure = locate(systemPath, parent, st)) {
        claim.outcome = *failure;
        return claim;
    }
    if (S_ISLNK(st.st_mode)) {
        // A link where a folder was: whatever it leads to is not this software's folder.
        claim.outcome = Outcome::UnsafeLink;
        return claim;
    }
    if (!S_ISDIR(st.st_mode)) {
        claim.outcome = Outcome::WrongKind;
        return claim;
    }
    if (!isReadable(parent.fd, parent.name.c_str(), AT_SYMLINK_NOFOLLOW)) {
        claim.outcome = Outcome::NotReadable;
        return claim;
    }
    const UniqueFd folder = openFolderAt(parent.fd, parent.name);
    struct stat opened {};
    if (!folder.valid() || ::fstat(folder.get(), &opened) != 0 || opened.st_ino != st.st_ino ||
        opened.st_dev != st.st_dev) {
        mLastError = errno;
        claim.outcome = Outcome::Failed;
        return claim;
    }
    const std::optional<std::vector<std::string>> names = ConfinedWalker::entries(folder.get());
    if (!names) {
        claim.outcome = Outcome::NotReadable;
        return claim;
    }
    const std::string folderPath = path::join(parent.physical, parent.name);
    std::vector<struct stat> entries;
    for (const std::string& name : *names) {
        if (SystemFloor::mayNotTouch(path::join(folderPath, name))) {
            claim.outcome = Outcome::Protected;
            return claim;
        }
        struct stat entry {};
        if (::fstatat(folder.get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            claim.outcome = Outcome::NotEmpty;
            return claim;
        }
        const bool hidden = name.front() == '.';
        if (S_ISDIR(entry.st_mode) || ((S_ISREG(entry.st_mode) || S_ISLNK(entry.st_mode)) && !hidden)) {
            claim.outcome = Outcome::NotEmpty;
            return claim;
        }
        entries.push_back(entry);
    }
    // The folder before what it holds, so that a restore meets it first; the deletion goes the other way.
    if (!keep(claim, parent.fd, parent.name, st, folderPath)) {
        return claim;
    }
    for (size_t i = 0; i < names->size(); ++i) {
        const std::string& name = (*names)[i];
        if (!keep(claim, folder.get(), name, entries[i], path::join(folderPath, name))) {
            return claim;
        }
        claim.steps.push_back({folderPath, name, identityOf(entries[i]), false});
    }
    // Anything that appears after the check makes the folder's own deletion fail, and it stays.
    claim.steps.push_back({parent.physical, parent.name, identityOf(st), true});
    claim.entriesMayStay = true;
    claim.outcome = Outcome::Deleted;
    return claim;
}

bool ConfinedRemover::collectTree(Claim& claim, int folderFd, const std::string& folderPath) {
    const std::optional<std::vector<std::string>> names = ConfinedWalker::entries(folderFd);
    if (!names) {
        mLastError = errno;
        claim.outcome = Outcome::Failed;
        return false;
    }
    for (const std::string& name : *names) {
        struct stat st {};
        if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue; // gone already
        }
        const std::string itemPath = path::join(folderPath, name);
        if (!keep(claim, folderFd, name, st, itemPath)) {
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            const UniqueFd child = openFolderAt(folderFd, name);
            if (!child.valid()) {
                mLastError = errno;
                claim.outcome = Outcome::Failed;
                return false;
            }
            if (!collectTree(claim, child.get(), itemPath)) {
                return false;
            }
        }
        claim.steps.push_back({folderPath, name, identityOf(st), S_ISDIR(st.st_mode)});
    }
    return true;
}

ConfinedRemover::Claim ConfinedRemover::claimTree(const std::string& systemPath) {
    Claim claim;
    if (SystemFloor::holdsUntouchable(systemPath)) {
        claim.outcome = Outcome::Protected;
        return claim;
    }
    ConfinedWalker::Parent parent;
    struct stat st {};
    if (const std::optional<Outcome> failure = locate(systemPath, parent, st)) {
        claim.outcome = *failure;
        return claim;
    }
    const std::string itemPath = path::join(parent.physical, parent.name);
    if (!keep(claim, parent.fd, parent.name, st, itemPath)) {
        return claim;
    }
    if (S_ISDIR(st.st_mode)) {
        const UniqueFd folder = openFolderAt(parent.fd, parent.name);
        if (!folder.valid()) {
            mLastError = errno;
            claim.outcome = Outcome::Failed;
            return claim;
        }
        if (!collectTree(claim, folder.get(), itemPath)) {
            return claim;
        }
    }
    claim.steps.push_back({parent.physical, parent.name, identityOf(st), S_ISDIR(st.st_mode)});
    claim.outcome = Outcome::Deleted;
    return claim;
}

ConfinedRemover::Outcome ConfinedRemover::release(const Claim& claim) {
    if (!claim.ready()) {
        return claim.outcome;
    }
    int entryError = 0;
    for (size_t i = 0; i < claim.steps.size(); ++i) {
        const Claim::Step& step = claim.steps[i];
        const bool last = i + 1 == claim.steps.size();
        const ConfinedWalker::Parent parent = mWalker.parentOf(path::join(step.folder, step.name));
        struct stat now {};
        if (parent.status != ConfinedWalker::Status::Found) {
            if (last) {
                return walkFailure(parent.status);
            }
            entryError = entryError != 0 ? entryError : ENOENT;
            continue;
        }
        if (::fstatat(parent.fd, parent.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
            if (last) {
                return Outcome::Missing;
            }
            continue; // gone already
        }
        if (!isStill(step, now)) {
            return Outcome::Changed;
        }
        if (::unlinkat(parent.fd, parent.name.c_str(), step.isFolder ? AT_REMOVEDIR : 0) != 0) {
            if (last) {
                const int error = errno;
                if (entryError != 0 && !claim.entriesMayStay) {
                    mLastError = entryError;
                    return Outcome::Failed;
                }
                return unlinkFailure(error);
            }
            entryError = entryError != 0 ? entryError : errno;
        }
    }
    if (entryError != 0 && entryError != ENOENT && !claim.entriesMayStay) {
        mLastError = entryError;
        return Outcome::Failed;
    }
    return Outcome::Deleted;
}

ConfinedRemover::Outcome ConfinedRemover::removeNow(const Claim& claim) {
    if (claim.ready() && mBackup != nullptr && !mBackup->sync()) {
        mBackupProblem = mBackup->problem();
        return Outcome::NotKept;
    }
    return release(claim);
}
