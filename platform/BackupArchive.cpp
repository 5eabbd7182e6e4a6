#include "platform/BackupArchive.h"

#include "platform/BackupMember.h"
#include "platform/ExtendedAttributes.h"
#include "platform/HostIo.h"
#include "platform/Path.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

// How much of a large member is gathered before it goes to the file.
constexpr size_t kPart = size_t{1} << 20;

struct EntryDeleter {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};
using Entry = std::unique_ptr<archive_entry, EntryDeleter>;

// The member name of a system path: relative to the root.
std::string memberName(const std::string& systemPath) {
    const std::string standard = path::standardize(path::join("/", systemPath));
    return standard.substr(1);
}

Entry newEntry(const std::string& member, const struct stat& st, mode_t type) {
    Entry entry(archive_entry_new());
    // Names are kept as the bytes they are (hdrcharset=BINARY), whatever the locale.
    archive_entry_copy_pathname(entry.get(), member.c_str());
    archive_entry_set_filetype(entry.get(), type);
    archive_entry_set_perm(entry.get(), st.st_mode & 07777);
    archive_entry_set_uid(entry.get(), st.st_uid);
    archive_entry_set_gid(entry.get(), st.st_gid);
    archive_entry_set_atime(entry.get(), st.st_atim.tv_sec, st.st_atim.tv_nsec);
    archive_entry_set_mtime(entry.get(), st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return entry;
}

void addAttributes(archive_entry* entry, const xattrs::List& attributes) {
    for (const auto& [name, bytes] : attributes) {
        archive_entry_xattr_add_entry(entry, name.c_str(), bytes.data(), bytes.size());
    }
}

bool sameItem(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT);
}

} // namespace

std::unique_ptr<BackupArchive> BackupArchive::create(const std::string& hostPath, std::string& error) {
    UniqueFd fd(::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        error = errno == EEXIST ? "it exists already, and a backup is never written over anything"
                                : std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<BackupArchive> backup(new BackupArchive(hostPath, std::move(fd)));
    struct archive* writer = backup->mWriter;
    // Unblocked: libarchive hands over every piece at once, and collect() gathers them member by member.
    if (writer == nullptr || archive_write_set_format_pax(writer) != ARCHIVE_OK ||
        archive_write_set_format_option(writer, "pax", "hdrcharset", "BINARY") != ARCHIVE_OK ||
        archive_write_set_bytes_per_block(writer, 0) != ARCHIVE_OK ||
        archive_write_open2(writer, backup.get(), nullptr, &BackupArchive::collect, nullptr, nullptr) !=
            ARCHIVE_OK) {
        error = writer != nullptr && archive_error_string(writer) != nullptr
                    ? archive_error_string(writer)
                    : "the archive cannot be started";
        backup.reset();
        ::unlink(hostPath.c_str());
        return nullptr;
    }
    return backup;
}

BackupArchive::BackupArchive(std::string hostPath, UniqueFd fd)
    : mHostPath(std::move(hostPath)), mFd(std::move(fd)), mWriter(archive_write_new()) {}

BackupArchive::~BackupArchive() {
    // What an unfinished archive holds stays readable without its end; nothing more is written.
    mFd.reset();
    if (mWriter != nullptr) {
        archive_write_free(mWriter);
    }
}

ssize_t BackupArchive::collect(struct archive* /*writer*/, void* self, const void* bytes, size_t size) {
    auto* backup = static_cast<BackupArchive*>(self);
    if (!backup->mFd.valid()) {
        return static_cast<ssize_t>(size);
    }
    backup->mPending.append(static_cast<const char*>(bytes), size);
    // A large file goes in parts, so that it is never held whole in memory.
    if (backup->mPending.size() >= kPart) {
        if (!backup->flush()) {
            return -1;
        }
        backup->mMemberPartWritten = true;
    }
    return static_cast<ssize_t>(size);
}

bool BackupArchive::flush() {
    if (mPending.empty()) {
        return true;
    }
    if (!hostio::writeAll(mFd.get(), mPending)) {
        if (mProblem.empty()) {
            mProblem = std::string("it cannot be written: ") + std::strerror(errno);
        }
        mPending.clear();
        return false;
    }
    mPending.clear();
    mDirty = true;
    return true;
}

BackupArchive::Keep BackupArchive::fail(const std::string& what) {
    if (mProblem.empty()) {
        const char* reason = archive_error_string(mWriter);
        mProblem = what + ": " + (reason != nullptr ? reason : std::strerror(errno));
    }
    return Keep::Broken;
}

BackupArchive::Keep BackupArchive::writeFile(int fd, const struct stat& st, const std::string& member,
                                             std::string& why) {
    const std::optional<xattrs::List> attributes = xattrs::read(fd);
    if (!attributes) {
        why = std::string("its extended attributes cannot be read: ") + std::strerror(errno);
        return Keep::NotKept;
    }
    const Entry entry = newEntry(member, st, AE_IFREG);
    archive_entry_set_size(entry.get(), st.st_size);
    addAttributes(entry.get(), *attributes);
    if (archive_write_header(mWriter, entry.get()) < ARCHIVE_WARN) {
        return fail("a member cannot be written");
    }
    char buffer[65536];
    auto left = static_cast<uint64_t>(st.st_size);
    bool whole = true;
    while (left > 0) {
        const ssize_t got = ::read(fd, buffer, std::min<uint64_t>(sizeof buffer, left));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            // The member keeps the size it announced (the rest is zeros); the item itself stays.
            why = got < 0 ? std::string("it cannot be read: ") + std::strerror(errno)
                          : "it became shorter while it was saved";
            whole = false;
            break;
        }
        if (archive_write_data(mWriter, buffer, static_cast<size_t>(got)) != got) {
            return fail("a member cannot be written");
        }
        left -= static_cast<uint64_t>(got);
    }
    if (archive_write_finish_entry(mWriter) != ARCHIVE_OK) {
        return fail("a member cannot be written");
    }
    return whole ? Keep::Kept : Keep::NotKept;
}

BackupArchive::Keep BackupArchive::keep(int folderFd, const std::string& name, const struct stat& st,
                                        const std::string& systemPath, std::string& why) {
    if (broken()) {
        why = mProblem;
        return Keep::Broken;
    }
    const std::string member = memberName(systemPath);
    if (mKept.contains(member)) {
        return Keep::Kept; // the archive holds it as it was when the run first came to it
    }
    // Before anything of a folder goes, its times are noted: deleting changes them.
    if (const std::string folder = path::deletingLastComponent(systemPath); folder != mLastFolder) {
        mLastFolder = folder;
        struct stat holder {};
        if (!mFolderTimes.contains(folder) && ::fstat(folderFd, &holder) == 0) {
            mFolderTimes.emplace(folder, FolderTimes{folder, holder.st_atim, holder.st_mtim});
        }
    }
    Keep kept = Keep::Kept;
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        const int flags = S_ISDIR(st.st_mode) ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_NONBLOCK | O_NOCTTY;
        UniqueFd item(::openat(folderFd, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        if (!item.valid() || ::fstat(item.get(), &opened) != 0) {
            why = std::string("it cannot be opened: ") + std::strerror(errno);
            return Keep::NotKept;
        }
        if (!sameItem(opened, st)) {
            why = "it was replaced while it was saved";
            return Keep::NotKept;
        }
        if (S_ISREG(st.st_mode)) {
            mMemberPartWritten = false;
            kept = writeFile(item.get(), opened, member, why);
            if (kept == Keep::NotKept) {
                // A member padded with zeros must never be restored in the place of the item: it goes
                // unwritten, or, when part of it is on the disk already, the archive takes nothing more.
                if (mMemberPartWritten) {
                    mProblem =
                        "a file changed while it was saved, and its member cannot be taken back: " + why;
                    return Keep::Broken;
                }
                mPending.clear();
                return kept;
            }
        } else {
            const std::optional<xattrs::List> attributes = xattrs::read(item.get());
            if (!attributes) {
                why = std::string("its extended attributes cannot be read: ") + std::strerror(errno);
                return Keep::NotKept;
            }
            const Entry entry = newEntry(member, opened, AE_IFDIR);
            // As it was before what it held went.
            if (const auto times = mFolderTimes.find(path::standardize(systemPath));
                times != mFolderTimes.end()) {
                archive_entry_set_atime(entry.get(), times->second.accessTime.tv_sec,
                                        times->second.accessTime.tv_nsec);
                archive_entry_set_mtime(entry.get(), times->second.modificationTime.tv_sec,
                                        times->second.modificationTime.tv_nsec);
            }
            addAttributes(entry.get(), *attributes);
            if (archive_write_header(mWriter, entry.get()) < ARCHIVE_WARN ||
                archive_write_finish_entry(mWriter) != ARCHIVE_OK) {
                return fail("a member cannot be written");
            }
        }
    } else if (S_ISLNK(st.st_mode)) {
        const std::optional<std::string> target = hostio::readLinkAt(folderFd, name);
        if (!target) {
            why = std::string("it cannot be read: ") + std::strerror(errno);
            return Keep::NotKept;
        }
        const Entry entry = newEntry(member, st, AE_IFLNK);
        archive_entry_copy_symlink(entry.get(), target->c_str());
        if (archive_write_header(mWriter, entry.get()) < ARCHIVE_WARN ||
            archive_write_finish_entry(mWriter) != ARCHIVE_OK) {
            return fail("a member cannot be written");
        }
    } else {
        return Keep::Kept; // a socket, pipe or device: nothing of it can be put back
    }
    if (kept == Keep::Broken || !flush()) {
        why = mProblem;
        return Keep::Broken;
    }
    if (kept == Keep::Kept) {
        mKept.insert(member);
        ++mItems;
    }
    return kept;
}

BackupArchive::Keep BackupArchive::keepPath(const std::string& systemPath, std::string& why) {
    const ConfinedWalker::Parent parent = mWalker.parentOf(systemPath);
    switch (parent.status) {
    case ConfinedWalker::Status::Found:
        break;
    case ConfinedWalker::Status::Missing:
    case ConfinedWalker::Status::NotAFolder:
        return Keep::Kept;
    case ConfinedWalker::Status::UnsafeLink:
        why = "unsafe link";
        return Keep::NotKept;
    case ConfinedWalker::Status::Failed:
        why = std::string("it cannot be reached: ") + std::strerror(errno);
        return Keep::NotKept;
    }
    struct stat st {};
    if (parent.name == "." || ::fstatat(parent.fd, parent.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Keep::Kept;
    }
    const Keep kept = keep(parent.fd, parent.name, st, path::join(parent.physical, parent.name), why);
    mWalker.forget(); // the caller changes the tree next
    return kept;
}

void BackupArchive::noteEdited(const std::string& systemPath) {
    const ConfinedWalker::Parent parent = mWalker.parentOf(systemPath);
    struct stat st {};
    if (parent.status != ConfinedWalker::Status::Found || parent.name == "." ||
        ::fstatat(parent.fd, parent.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    const std::string physical = path::join(parent.physical, parent.name);
    const EditedFile now{physical, st.st_ino, static_cast<uint64_t>(st.st_size),
                         static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    mWalker.forget();
    for (EditedFile& edited : mEdited) {
        if (edited.path == physical) {
            edited = now;
            return;
        }
    }
    mEdited.push_back(now);
}

std::vector<FolderTimes> BackupArchive::folderTimes() const {
    std::vector<FolderTimes> stayed;
    for (const auto& [folder, times] : mFolderTimes) {
        if (!mKept.contains(memberName(folder))) {
            stayed.push_back(times);
        }
    }
    return stayed;
}

bool BackupArchive::sync() {
    if (broken()) {
        return false;
    }
    if (!flush()) {
        return false;
    }
    if (mDirty) {
        if (::fsync(mFd.get()) != 0) {
            mProblem = std::string("it cannot be written to the disk: ") + std::strerror(errno);
            return false;
        }
        mDirty = false;
    }
    return true;
}

bool BackupArchive::finish(const std::string& manifest) {
    if (broken() || mFinished) {
        return !broken();
    }
    mFinished = true;
    const Entry entry(archive_entry_new());
    archive_entry_copy_pathname(entry.get(), kManifestName);
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(manifest.size()));
    archive_entry_set_mtime(entry.get(), std::time(nullptr), 0);
    if (archive_write_header(mWriter, entry.get()) < ARCHIVE_WARN ||
        archive_write_data(mWriter, manifest.data(), manifest.size()) !=
            static_cast<la_ssize_t>(manifest.size()) ||
        archive_write_close(mWriter) != ARCHIVE_OK) {
        fail("its manifest cannot be written");
        return false;
    }
    return sync();
}
