#pragma once

#include "platform/ConfinedWalker.h"

#include <optional>
#include <string>

struct stat;

/// Deletes items of the system being cleaned without ever following a link it did not mean to.
///
/// Each path is walked from the root by a ConfinedWalker (no link on the way but the system's own /etc,
/// /tmp and /var); the item is then deleted with unlinkat relative to the folder that was opened. A
/// folder is only ever removed after its entries were checked, by unlinking exactly those entries and
/// then the folder itself; the one recursive deletion (removeTree) never leaves the folder it was given.
/// Whatever a caller asks, nothing that SystemFloor protects is deleted.
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
    };

    /// A file of the file list: deleted when it exists and is readable (a symbolic link at the path is
    /// followed inside the root for that test), and then the item itself is unlinked, never its target.
    Outcome removeFile(const std::string& systemPath);

    /// An item of the link list: whatever is there is unlinked unless it is a folder.
    Outcome removeLink(const std::string& systemPath);

    /// A folder of the folder list: removed only when nothing but entries whose names begin with "."
    /// (files or links) and special files (sockets, pipes, devices) is left in it.
    Outcome removeFolderIfOnlyHidden(const std::string& systemPath);

    /// A file or link, unconditionally (never a folder).
    Outcome removeItem(const std::string& systemPath) { return removeLink(systemPath); }

    /// A folder with everything in it (receipt bundles); links inside are unlinked, never entered. A
    /// file or link at the path is unlinked. Protected when anything at or below the path is.
    Outcome removeTree(const std::string& systemPath);

    /// The errno of the last Failed outcome.
    int lastError() const { return mLastError; }

    /// Drops the folders kept open between calls (see ConfinedWalker::forget).
    void forget() { mWalker.forget(); }

private:
    // Walks to the item and looks at it without following it; the outcome when it cannot be reached.
    std::optional<Outcome> locate(const std::string& systemPath, ConfinedWalker::Parent& parent,
                                  struct stat& st);
    Outcome walkFailure(ConfinedWalker::Status status);
    Outcome unlinkEntry(int folderFd, const std::string& name, int flags);

    ConfinedWalker mWalker;
    int mLastError = 0;
};
