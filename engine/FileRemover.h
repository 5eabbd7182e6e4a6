#pragma once

#include "platform/ConfinedRemover.h"

#include <optional>
#include <string>
#include <vector>

class ActionReport;
class BackupArchive;

/// The deletion step of one software's uninstall: its files, its links, then its folders, deepest
/// first, each folder only when nothing but hidden files is left in it.
///
/// Every item is reached through ConfinedRemover, so no link on the way is followed (but the system's own
/// /etc, /tmp and /var), a folder is never deleted with what it holds, and nothing SystemFloor protects is
/// deleted at all. Each item's outcome goes to the report: an item that was not there is already gone,
/// a folder that still holds visible files is skipped, and anything else still there is a failure.
///
/// With a backup, items are claimed (and written to the backup) a group at a time, the backup is made
/// durable once per group, and then the group is deleted: no item goes before the backup holds it on disk.
/// Once the backup cannot be written, nothing more is deleted.
class FileRemover {
public:
    /// Orders two paths by their length in UTF-16 units: -1 when `a` is shorter, +1 when longer, 0 when
    /// they are as long.
    static int lengthSort(const std::string& a, const std::string& b);

    /// A folder list in the order execUnInstall wants it: by lengthSort, shortest first (paths of equal
    /// length keep their order).
    static std::vector<std::string> sortedByLength(std::vector<std::string> folders);

    /// Deletes the files (when present and readable), the links, and then the folders from the last to
    /// the first of `sortedFolders` (see sortedByLength). false, and nothing deleted, when a list is
    /// absent; true otherwise, whatever could or could not be deleted.
    bool execUnInstall(const std::optional<std::vector<std::string>>& files,
                       const std::optional<std::vector<std::string>>& sortedFolders,
                       const std::optional<std::vector<std::string>>& links);

    /// Where the outcomes go; nothing is reported without one.
    void setReport(ActionReport* report) { mReport = report; }

    /// The backup every item goes to before it is deleted; nullptr (the default) deletes without one.
    void setBackup(BackupArchive* backup) { mRemover.setBackup(backup); }

private:
    struct Pending {
        ConfinedRemover::Claim claim;
        const char* step;
        const std::string* path;
    };

    void note(ConfinedRemover::Outcome outcome, const char* step, const std::string& path);
    // Makes the backup durable and deletes what the pending claims hold, reporting each in order.
    void flush(std::vector<Pending>& pending);
    bool backupBroken() const;

    ConfinedRemover mRemover;
    ActionReport* mReport = nullptr;
};
