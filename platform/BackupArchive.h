#pragma once

#include "platform/BackupMember.h"
#include "platform/ConfinedWalker.h"
#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

struct archive;
struct stat;

/// The archive an uninstall writes every item into before it removes or edits it, so that the item can
/// be put back: a pax archive (libarchive) whose members are named by their system paths relative to the
/// system root, with each item's kind, link target, mode, owner and group, times and extended attributes
/// (ACLs among them). A manifest (kManifestName, JSON) ends the archive once the run is over.
///
/// An item is kept once, as it was when the run first came to it: a preference file edited for several
/// software is in the archive as it was before the first edit, and a folder with the times it had before
/// anything in it went. The folders that stay keep the times they had too (folderTimes()).
///
/// Each member goes to the file in one write once it is whole (a large file's data in parts), so that an
/// uninstall killed while it wrote leaves whole members; sync() makes everything written so far durable,
/// and a caller deletes an item only after a sync that followed its keep(). Items are read through the
/// folder that the deletion walked to, never through a link. Once a write fails the archive is broken: it
/// takes nothing more, so that nothing more is deleted.
class BackupArchive {
public:
    /// The name of the manifest member.
    static constexpr const char* kManifestName = ".uninstaller-backup.json";

    /// Creates the archive at a host path that must not exist yet (a backup is never written over, nor
    /// through a link). nullptr, with the reason in `error`, when it cannot be created.
    static std::unique_ptr<BackupArchive> create(const std::string& hostPath, std::string& error);

    ~BackupArchive();
    BackupArchive(const BackupArchive&) = delete;
    BackupArchive& operator=(const BackupArchive&) = delete;

    /// What became of an item handed to the archive.
    enum class Keep {
        Kept,    // written (special files, which nothing can put back, are passed over)
        NotKept, // this item could not be read whole: it must stay; the archive goes on
        Broken,  // the archive cannot be written: nothing more may be deleted
    };

    /// Writes the item `name` of the open folder `folderFd`, whose system path (links resolved) is
    /// `systemPath` and which `st` describes (fstatat without following it); `why` says why when it
    /// is not Kept.
    Keep keep(int folderFd, const std::string& name, const struct stat& st, const std::string& systemPath,
              std::string& why);

    /// Writes the item at a system path, reached as ConfinedWalker reaches it; an item that is not there
    /// is nothing to keep (Kept).
    Keep keepPath(const std::string& systemPath, std::string& why);

    /// Notes what a file kept before an edit is now that the edit is done; nothing when it is gone.
    void noteEdited(const std::string& systemPath);

    /// The files edited, each as the last edit left it.
    const std::vector<EditedFile>& edited() const { return mEdited; }

    /// The folders something was kept from that were not kept themselves, with the times they had before.
    std::vector<FolderTimes> folderTimes() const;

    /// Makes what was written durable (fsync); false, and the archive broken, when it cannot.
    bool sync();

    /// Writes the manifest as the last member, ends the archive and makes it durable; false (problem()
    /// says why) when it cannot or the archive is broken.
    bool finish(const std::string& manifest);

    bool broken() const { return !mProblem.empty(); }
    /// Why the archive is broken; empty while it is not.
    const std::string& problem() const { return mProblem; }
    /// The items written so far.
    size_t itemCount() const { return mItems; }
    const std::string& hostPath() const { return mHostPath; }

private:
    BackupArchive(std::string hostPath, UniqueFd fd);
    static ssize_t collect(struct archive* writer, void* self, const void* bytes, size_t size);
    // Writes what libarchive gave so far to the file; false (and the archive broken) when it cannot.
    bool flush();
    Keep fail(const std::string& what);
    Keep writeFile(int fd, const struct stat& st, const std::string& member, std::string& why);

    std::string mHostPath;
    UniqueFd mFd;
    std::string mPending;            // the member being written, not yet in the file
    bool mMemberPartWritten = false; // part of the file member being written is in the file already
    struct archive* mWriter = nullptr;
    ConfinedWalker mWalker;
    std::string mProblem;
    size_t mItems = 0;
    std::unordered_set<std::string> mKept; // member names written
    std::vector<EditedFile> mEdited;
    // The times of every folder something was kept from, as they were before the first of it went.
    std::map<std::string, FolderTimes> mFolderTimes;
    std::string mLastFolder;
    bool mDirty = false;
    bool mFinished = false;
};
