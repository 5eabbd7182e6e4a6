#include "platform/ConfinedFile.h"

#include "platform/ConfinedWalker.h"
#include "platform/HostIo.h"
#include "platform/SystemFloor.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// A hidden name beside the file that no one else uses: the process, a counter and a try number.
std::string temporaryName(const std::string& name, int attempt) {
    static std::atomic<unsigned> counter{0};
    return "." + name + ".uninstaller-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(attempt);
}

int64_t nanoseconds(const timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

ConfinedFile::Status ConfinedFile::read(const std::string& systemPath, Contents& contents, size_t maxSize) {
    contents = Contents();
    ConfinedWalker walker;
    const ConfinedWalker::Parent parent = walker.parentOf(systemPath);
    switch (parent.status) {
    case ConfinedWalker::Status::Found:
        break;
    case ConfinedWalker::Status::UnsafeLink:
        return Status::UnsafeLink;
    case ConfinedWalker::Status::Missing:
    case ConfinedWalker::Status::NotAFolder:
        return Status::Missing;
    case ConfinedWalker::Status::Failed:
        return Status::Unreadable;
    }
    struct stat st {};
    if (parent.name == "." || ::fstatat(parent.fd, parent.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Status::Missing;
    }
    if (S_ISLNK(st.st_mode)) {
        return Status::IsLink;
    }
    if (!S_ISREG(st.st_mode)) {
        return Status::NotRegular;
    }
    UniqueFd file(::openat(parent.fd, parent.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (!file.valid() || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        static_cast<uint64_t>(opened.st_size) > maxSize) {
        return Status::Unreadable;
    }
    std::optional<std::string> bytes = hostio::readAll(file.get(), maxSize);
    if (!bytes) {
        return Status::Unreadable;
    }
    contents.bytes = std::move(*bytes);
    contents.uid = opened.st_uid;
    contents.gid = opened.st_gid;
    contents.mode = opened.st_mode & 07777;
    contents.device = opened.st_dev;
    contents.inode = opened.st_ino;
    contents.changeTime = nanoseconds(opened.st_ctim);
    contents.modificationTime = nanoseconds(opened.st_mtim);
    return Status::Read;
}

bool ConfinedFile::replace(const std::string& systemPath, const Contents& original,
                           const std::string& bytes) {
    if (SystemFloor::mayNotTouch(systemPath)) {
        return false;
    }
    ConfinedWalker walker;
    const ConfinedWalker::Parent parent = walker.parentOf(systemPath);
    if (parent.status != ConfinedWalker::Status::Found || parent.name == ".") {
        return false;
    }
    const auto stillTheOriginal = [&] {
        struct stat now {};
        return ::fstatat(parent.fd, parent.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(now.st_mode) && now.st_dev == original.device && now.st_ino == original.inode &&
               static_cast<uint64_t>(now.st_size) == original.bytes.size() &&
               nanoseconds(now.st_ctim) == original.changeTime &&
               nanoseconds(now.st_mtim) == original.modificationTime;
    };
    if (!stillTheOriginal()) {
        return false;
    }
    std::string temporary;
    UniqueFd file;
    for (int attempt = 0; attempt < 8 && !file.valid(); ++attempt) {
        temporary = temporaryName(parent.name, attempt);
        file.reset(::openat(parent.fd, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    }
    if (!file.valid()) {
        return false;
    }
    // The owner first: changing it may clear set-id bits that the mode then puts back. Without the
    // rights to give the file away, it must already have the original's owner.
    const auto hasOriginalOwner = [&] {
        struct stat created {};
        return ::fstat(file.get(), &created) == 0 && created.st_uid == original.uid &&
               created.st_gid == original.gid;
    };
    bool ok = hostio::writeAll(file.get(), bytes) &&
              (::fchown(file.get(), original.uid, original.gid) == 0 || hasOriginalOwner()) &&
              ::fchmod(file.get(), original.mode) == 0 && ::fsync(file.get()) == 0;
    file.reset();
    ok = ok && stillTheOriginal() &&
         ::renameat(parent.fd, temporary.c_str(), parent.fd, parent.name.c_str()) == 0;
    if (!ok) {
        ::unlinkat(parent.fd, temporary.c_str(), 0);
    }
    return ok;
}
