#include "platform/ItemRestorer.h"

#include "platform/BackupReader.h"
#include "platform/ExtendedAttributes.h"
#include "platform/HostIo.h"
#include "platform/Path.h"
#include "platform/SystemFloor.h"
#include "platform/SystemRoot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

using Status = ItemRestorer::Result::Status;

ItemRestorer::Result result(Status status, std::string reason = {}) {
    return {status, std::move(reason)};
}

std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// A name beside the item that no one else uses, short enough for any folder.
std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    return ".uninstaller-restore-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// True when a relative link target climbs above the system's root from the link's folder: on a system
// in another folder it would point at the machine's own files.
bool climbsAboveRoot(const std::string& linkPath, const std::string& target) {
    if (target.empty() || target.front() == '/') {
        return false;
    }
    std::vector<std::string> parts = path::components(path::deletingLastComponent(linkPath));
    long depth = static_cast<long>(parts.size()) - 1; // without the leading "/"
    for (const std::string& part : path::components(target)) {
        if (part == "..") {
            if (--depth < 0) {
                return true;
            }
        } else if (part != ".") {
            ++depth;
        }
    }
    return false;
}

// Owner, extended attributes, mode and times of an open item; the owner first, since giving an item away
// clears its set-id bits, which the mode then puts back.
bool applyMetadata(int fd, const BackupMember& member, std::string& why) {
    if (ItemRestorer::restoresOwners() && ::fchown(fd, member.uid, member.gid) != 0) {
        why = failure("its owner cannot be set");
        return false;
    }
    if (!xattrs::replace(fd, member.attributes, why)) {
        return false;
    }
    if (::fchmod(fd, member.mode) != 0) {
        why = failure("its mode cannot be set");
        return false;
    }
    const timespec times[2] = {member.accessTime, member.modificationTime};
    if (::futimens(fd, times) != 0) {
        why = failure("its times cannot be set");
        return false;
    }
    return true;
}

// Deepest first: setting a folder's metadata changes nothing in the folder that holds it.
template <typename Item> void deepestFirst(std::vector<Item>& items) {
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return std::count(a.path.begin(), a.path.end(), '/') > std::count(b.path.begin(), b.path.end(), '/');
    });
}

} // namespace

bool ItemRestorer::restoresOwners() {
    return ::geteuid() == 0;
}

ConfinedWalker::Parent ItemRestorer::ensureParent(const std::string& systemPath) {
    ConfinedWalker::Parent parent = mWalker.parentOf(systemPath);
    if (parent.status != ConfinedWalker::Status::Missing) {
        return parent;
    }
    // Make the missing folders on the way, one at a time, each inside the one walked to before it.
    std::string folder;
    for (const std::string& part : path::components(path::deletingLastComponent(systemPath))) {
        folder = path::join(folder.empty() ? "/" : folder, part == "/" ? "" : part);
        if (folder == "/") {
            continue;
        }
        const ConfinedWalker::Parent step = mWalker.parentOf(folder);
        if (step.status != ConfinedWalker::Status::Found) {
            return step;
        }
        struct stat st {};
        if (::fstatat(step.fd, step.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            continue;
        }
        if (errno != ENOENT || (::mkdirat(step.fd, step.name.c_str(), 0700) != 0 && errno != EEXIST)) {
            parent.status = ConfinedWalker::Status::Failed;
            return parent;
        }
        mMadeOnTheWay.insert(path::join(step.physical, step.name));
    }
    return mWalker.parentOf(systemPath);
}

ItemRestorer::Result ItemRestorer::putInPlace(const ConfinedWalker::Parent& parent,
                                              const std::string& temporary, bool over) {
    // Never over what appeared since the look, unless asked; rename never follows a link at its target.
    const unsigned flags = over ? 0 : RENAME_NOREPLACE;
    if (::renameat2(parent.fd, temporary.c_str(), parent.fd, parent.name.c_str(), flags) != 0) {
        const int error = errno;
        ::unlinkat(parent.fd, temporary.c_str(), 0);
        if (error == EEXIST) {
            return result(Status::Exists, "it appeared while it was restored");
        }
        errno = error;
        return result(Status::Failed, failure("it cannot be put in place"));
    }
    return result(Status::Restored);
}

ItemRestorer::Result ItemRestorer::restoreFile(const BackupMember& member,
                                               const ConfinedWalker::Parent& parent, BackupReader& reader,
                                               bool over) {
    struct statvfs space {};
    if (::fstatvfs(parent.fd, &space) == 0 &&
        member.size / std::max<uint64_t>(space.f_frsize, 1) > space.f_bavail) {
        return result(Status::Failed, "it is larger than the free space of its disk (" +
                                          std::to_string(space.f_bavail * space.f_frsize) + " bytes)");
    }
    const std::string temporary = temporaryName();
    UniqueFd file(
        ::openat(parent.fd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid()) {
        return result(Status::Failed, failure("it cannot be created"));
    }
    std::string why;
    bool writeFailed = false;
    if (!reader.copyData(file.get(), why, writeFailed)) {
        file.reset();
        ::unlinkat(parent.fd, temporary.c_str(), 0);
        return writeFailed ? result(Status::Failed, "it cannot be written: " + why)
                           : result(Status::Damaged, "the archive ends inside it: " + why);
    }
    if (!applyMetadata(file.get(), member, why)) {
        file.reset();
        ::unlinkat(parent.fd, temporary.c_str(), 0);
        return result(Status::Failed, why);
    }
    file.reset();
    return putInPlace(parent, temporary, over);
}

ItemRestorer::Result ItemRestorer::restoreLink(const BackupMember& member,
                                               const ConfinedWalker::Parent& parent, bool over) {
    const std::string temporary = temporaryName();
    if (::symlinkat(member.linkTarget.c_str(), parent.fd, temporary.c_str()) != 0) {
        return result(Status::Failed, failure("it cannot be created"));
    }
    const timespec times[2] = {member.accessTime, member.modificationTime};
    std::string why;
    if (restoresOwners() &&
        ::fchownat(parent.fd, temporary.c_str(), member.uid, member.gid, AT_SYMLINK_NOFOLLOW) != 0) {
        why = failure("its owner cannot be set");
    } else if (::utimensat(parent.fd, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        why = failure("its times cannot be set");
    }
    if (!why.empty()) {
        ::unlinkat(parent.fd, temporary.c_str(), 0);
        return result(Status::Failed, why);
    }
    return putInPlace(parent, temporary, over);
}

ItemRestorer::Result ItemRestorer::restore(const BackupMember& member, BackupReader& reader,
                                           const EditedFile* edited) {
    if (const std::optional<std::string_view> because = SystemFloor::untouchableBecause(member.path)) {
        return result(Status::Refused, "no uninstall removes anything there (" + std::string(*because) + ")");
    }
    if (member.kind == BackupMember::Kind::Link && climbsAboveRoot(member.path, member.linkTarget)) {
        return result(Status::Refused, "its target climbs out of the system");
    }
    const ConfinedWalker::Parent parent = ensureParent(member.path);
    switch (parent.status) {
    case ConfinedWalker::Status::Found:
        break;
    case ConfinedWalker::Status::UnsafeLink:
        return result(Status::Refused, "a folder on the way to it is a symbolic link");
    case ConfinedWalker::Status::NotAFolder:
        return result(Status::Failed, "something on the way to it is not a folder");
    case ConfinedWalker::Status::Missing:
    case ConfinedWalker::Status::Failed:
        return result(Status::Failed, failure("its folder cannot be reached"));
    }
    if (parent.name == ".") {
        return result(Status::Refused, "it names the system's root");
    }
    const std::string physical = path::join(parent.physical, parent.name);
    struct stat existing {};
    const bool exists = ::fstatat(parent.fd, parent.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISLNK(existing.st_mode)) {
        if (member.kind == BackupMember::Kind::Link &&
            hostio::readLinkAt(parent.fd, parent.name) == member.linkTarget) {
            return result(Status::Exists, "it is there already");
        }
        return result(Status::Refused, "a symbolic link stands there now, and nothing is written over one");
    }
    if (member.kind == BackupMember::Kind::Folder) {
        if (!exists) {
            if (::mkdirat(parent.fd, parent.name.c_str(), 0700) != 0) {
                return result(Status::Failed, failure("it cannot be made"));
            }
        } else if (!S_ISDIR(existing.st_mode)) {
            return mReplace == Replace::Never ? result(Status::Exists, "a file stands there now")
                                              : result(Status::Failed, "a file stands there now");
        } else if (mMadeOnTheWay.erase(physical) == 0 && mReplace == Replace::Never) {
            return result(Status::Exists, "it exists now");
        }
        BackupMember folder = member;
        folder.path = physical;
        mFolders.push_back(std::move(folder));
        return result(Status::Restored);
    }
    bool over = false;
    if (exists) {
        const bool asEdited =
            edited != nullptr && S_ISREG(existing.st_mode) && existing.st_ino == edited->inode &&
            static_cast<uint64_t>(existing.st_size) == edited->size &&
            static_cast<int64_t>(existing.st_mtim.tv_sec) * 1000000000 + existing.st_mtim.tv_nsec ==
                edited->modificationTime;
        if (mReplace == Replace::Never && !asEdited) {
            return result(Status::Exists,
                          edited != nullptr ? "it changed after the uninstall edited it" : "it exists now");
        }
        if (S_ISDIR(existing.st_mode)) {
            return result(Status::Failed, "a folder stands there now");
        }
        over = true;
    }
    return member.kind == BackupMember::Kind::Link ? restoreLink(member, parent, over)
                                                   : restoreFile(member, parent, reader, over);
}

std::vector<std::pair<std::string, std::string>> ItemRestorer::setTimes(std::vector<FolderTimes> folders) {
    std::vector<std::pair<std::string, std::string>> failed;
    deepestFirst(folders);
    mWalker.forget();
    for (const FolderTimes& folder : folders) {
        ConfinedWalker::Status status = ConfinedWalker::Status::Failed;
        const UniqueFd fd = mWalker.openFolder(folder.path, status);
        const timespec times[2] = {folder.accessTime, folder.modificationTime};
        if (status == ConfinedWalker::Status::Missing) {
            continue;
        }
        if (!fd.valid()) {
            failed.emplace_back(folder.path, "it cannot be opened again");
        } else if (::futimens(fd.get(), times) != 0) {
            failed.emplace_back(folder.path, failure("its times cannot be set"));
        }
    }
    return failed;
}

std::vector<std::pair<std::string, std::string>> ItemRestorer::finish() {
    std::vector<std::pair<std::string, std::string>> failed;
    deepestFirst(mFolders);
    mWalker.forget();
    for (const BackupMember& folder : mFolders) {
        ConfinedWalker::Status status = ConfinedWalker::Status::Failed;
        const UniqueFd fd = mWalker.openFolder(folder.path, status);
        std::string why;
        if (!fd.valid()) {
            failed.emplace_back(folder.path, "it cannot be opened again");
        } else if (!applyMetadata(fd.get(), folder, why)) {
            failed.emplace_back(folder.path, why);
        }
    }
    for (const std::string& folder : mMadeOnTheWay) {
        ConfinedWalker::Status status = ConfinedWalker::Status::Failed;
        const UniqueFd fd = mWalker.openFolder(folder, status);
        if (!fd.valid() || ::fchmod(fd.get(), 0755) != 0) {
            failed.emplace_back(folder, "it cannot be opened to every user");
        }
    }
    mFolders.clear();
    const UniqueFd root = SystemRoot::openInRoot("/", O_RDONLY | O_DIRECTORY);
    if (!root.valid() || ::syncfs(root.get()) != 0) {
        failed.emplace_back("/", failure("what was restored cannot be written to the disk"));
    }
    return failed;
}
