#pragma once

#include "platform/ConfinedWalker.h"

#include <sys/types.h>

#include <cstdint>

#include <optional>
#include <string>
#include <vector>

class BackupArchive;
struct stat;

/// Deletes items of the system being cleaned without ever following a link it did not mean to.
///
/// Each path is walked from the root by a ConfinedWalker (no link on the way but the system's own /etc,
/// /tmp and /var); the item is then deleted with unlinkat relative to the folder that was opened. A
/// folder is only ever removed after its entries were checked, by unlinking exactly those entries and
/// then the folder itself; the one recursive deletion (removeTree) never leaves the folder it was given.
/// Whatever a caller asks, nothing that SystemFloor protects is deleted.
///
/// A deletion is a claim (the item found and checked, and written to the backup when there is one) and
/// its release (each item unlinked when it is still the one that was claimed). The remove functions do
/// both at once; a caller with many items claims several, syncs the backup once and releases them.
class ConfinedRemover {
public:
    enum class Outcome {
        Deleted,
        Missing,     // nothing there (a dangling link counts as missing for removeFile)
        NotReadable, // the item exists but this process may not read it
        NotEmpty,    // a folder that still holds something other than hidden files and special files
        UnsafeLink,  // a folder on the way (or the folder itself) is a link (see ConfinedWalker)
        Protected,   // SystemFloor forbids it: a system folder, or the system's or a user's own files
        WrongKind,   // a folder where a file or link was expected, a file or link where a folder was
        Failed,      // the deletion itself failed; lastError() has the errno
        NotKept,     // the backup could not take it, so it stays; backupProblem() says why
        Changed,     // it changed after it was claimed (and backed up), so it stays
    };

    /// Every item goes to `backup` before it is deleted, and is deleted only after the backup is
    /// durable; nullptr (the default) deletes without one. The backup must outlive its use here.
    void setBackup(BackupArchive* backup) { mBackup = backup; }
    BackupArchive* backup() const { return mBackup; }

    /// A file of the file list: deleted when it exists and is readable (a symbolic link at the path is
    /// followed inside the root for that test), and then the item itself is unlinked, never its target.
    Outcome removeFile(const std::string& systemPath) { return removeNow(claimFile(systemPath)); }

    /// An item of the link list: whatever is there is unlinked unless it is a folder.
    Outcome removeLink(const std::string& systemPath) { return removeNow(claimLink(systemPath)); }

    /// A folder of the folder list: removed only when nothing but entries whose names begin with "."
    /// (files or links) and special files (sockets, pipes, devices) is left in it.
    Outcome removeFolderIfOnlyHidden(const std::string& systemPath) {
        return removeNow(claimFolderIfOnlyHidden(systemPath));
    }

    /// A file or link, unconditionally (never a folder).
    Outcome removeItem(const std::string& systemPath) { return removeLink(systemPath); }

    /// A folder with everything in it (receipt bundles); links inside are unlinked, never entered. A
    /// file or link at the path is unlinked. Protected when anything at or below the path is.
    Outcome removeTree(const std::string& systemPath) { return removeNow(claimTree(systemPath)); }

    /// What is what an item was when it was claimed.
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        mode_t mode = 0;
        uid_t uid = 0;
        gid_t gid = 0;
        off_t size = 0;
        int64_t modificationTime = 0;
    };

    /// Items found and checked for a deletion, in the order release() unlinks them (the item asked for
    /// last); `outcome` is Deleted while they wait to be released, the reason they stay otherwise.
    struct Claim {
        struct Step {
            std::string folder; // the system path of the folder that holds it, links resolved
            std::string name;
            Identity identity;
            bool isFolder = false;
        };
        Outcome outcome = Outcome::Failed;
        std::vector<Step> steps;
        bool entriesMayStay = false; // a folder's entries that do not go leave it NotEmpty, not Failed
        bool ready() const { return outcome == Outcome::Deleted; }
    };

    /// The claims of the remove functions above, with the same checks; nothing is deleted yet.
    Claim claimFile(const std::string& systemPath);
    Claim claimLink(const std::string& systemPath);
    Claim claimFolderIfOnlyHidden(const std::string& systemPath);
    Claim claimTree(const std::string& systemPath);

    /// Deletes what a ready claim holds, item by item, each only while it is still what was claimed
    /// (Changed otherwise, and nothing after it goes). A claim that is not ready gives its outcome.
    Outcome release(const Claim& claim);

    /// The errno of the last Failed outcome.
    int lastError() const { return mLastError; }

    /// Why the backup did not take the last item that was NotKept.
    const std::string& backupProblem() const { return mBackupProblem; }

    /// Drops the folders kept open between calls (see ConfinedWalker::forget).
    void forget() { mWalker.forget(); }

private:
    // Walks to the item and looks at it without following it; the outcome when it cannot be reached.
    std::optional<Outcome> locate(const std::string& systemPath, ConfinedWalker::Parent& parent,
                                  struct stat& st);
    Outcome walkFailure(ConfinedWalker::Status status);
    Outcome unlinkFailure(int error);
    // Hands an item to the backup, if there is one; false (the claim then NotKept) when it was not taken.
    bool keep(Claim& claim, int folderFd, const std::string& name, const struct stat& st,
              const std::string& systemPath);
    bool collectTree(Claim& claim, int folderFd, const std::string& folderPath);
    Outcome removeNow(const Claim& claim);

    ConfinedWalker mWalker;
    BackupArchive* mBackup = nullptr;
    int mLastError = 0;
    std::string mBackupProblem;
};
