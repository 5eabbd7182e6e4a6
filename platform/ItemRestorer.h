#pragma once

#include "platform/BackupMember.h"
#include "platform/ConfinedWalker.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

class BackupReader;

/// Puts the items of a backup back into the system being cleaned, through the same confined walk as
/// deletion: no link on the way is followed (but the system's own /etc, /tmp and /var), nothing is written
/// over or through a link, a folder is never written over, and nothing goes where SystemFloor forbids any
/// change. An item that exists now is left alone unless Replace::Existing asks for the backup's in its
/// place. Missing folders on the way are made.
///
/// A file or link is written under a temporary name in its folder, given its owner (when run as the
/// super-user), extended attributes, mode and times, and only then renamed into place. Folders get their
/// metadata at the end (finish()), deepest first, so that what is restored into them changes nothing.
class ItemRestorer {
public:
    enum class Replace {
        Never,    // an item that exists now stays as it is
        Existing, // a file or link that exists now is replaced (never a folder, never a link)
    };

    explicit ItemRestorer(Replace replace) : mReplace(replace) {}

    /// What became of one member.
    struct Result {
        enum class Status {
            Restored,
            Exists,  // something is there now and was left alone
            Refused, // no restore may write there: SystemFloor, a link on the way or at its place
            Failed,  // it could not be written; `reason` says why
            Damaged, // the archive ends inside its data: nothing after it can be read
        };
        Status status = Status::Failed;
        std::string reason;
    };

    /// Restores one member; a file's data is read from `reader`, positioned at that member. A file the
    /// uninstall edited in place (`edited`) is put back over the edited one while that is still exactly
    /// as the edit left it.
    Result restore(const BackupMember& member, BackupReader& reader, const EditedFile* edited = nullptr);

    /// Gives the restored folders their metadata (the ones made on the way, which no member described,
    /// mode 0755) and makes everything written durable. The folders that failed, with the reason.
    std::vector<std::pair<std::string, std::string>> finish();

    /// Sets back the times of folders that stayed when the uninstall removed from them, deepest first; a
    /// folder that is gone is passed over. The folders whose times could not be set, with the reason.
    std::vector<std::pair<std::string, std::string>> setTimes(std::vector<FolderTimes> folders);

    /// Folders made on the way to a member that no member described, by system path.
    const std::set<std::string>& foldersMadeOnTheWay() const { return mMadeOnTheWay; }

    /// True when owners and groups are put back: only the super-user may give an item away.
    static bool restoresOwners();

private:
    ConfinedWalker::Parent ensureParent(const std::string& systemPath);
    Result restoreFile(const BackupMember& member, const ConfinedWalker::Parent& parent, BackupReader& reader,
                       bool over);
    Result restoreLink(const BackupMember& member, const ConfinedWalker::Parent& parent, bool over);
    // Renames the temporary item to its name: over what is there only when `over`.
    static Result putInPlace(const ConfinedWalker::Parent& parent, const std::string& temporary, bool over);

    Replace mReplace;
    ConfinedWalker mWalker;
    std::set<std::string> mMadeOnTheWay;
    std::vector<BackupMember> mFolders; // restored folders, whose metadata comes last
};
