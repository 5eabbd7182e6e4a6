#pragma once

#include <map>
#include <string>

/// Everything below a host folder, item by item: kind, mode, owner and group, extended attributes (ACLs
/// among them), and for files their size, a hash of their content and their modification time, for links
/// their target. Two snapshots are equal when nothing
/// was added, removed or changed (folder times aside: a file made and deleted again changes them).
class TreeSnapshot {
public:
    /// Whether a folder's own modification time is part of its description.
    enum class FolderTimes { Ignore, Compare };

    /// Reads the tree below `hostFolder` without following links. Folders whose paths come near the
    /// system's limit are described but not entered.
    static TreeSnapshot take(const std::string& hostFolder, FolderTimes folderTimes = FolderTimes::Ignore);

    /// The items of either snapshot that differ, one line each ("+ path", "- path", "~ path"); empty when
    /// equal. Lists at most `limit` lines.
    std::string differences(const TreeSnapshot& after, size_t limit = 20) const;

    /// Leaves an item (a path relative to the folder) out of the snapshot.
    void forget(const std::string& relativePath) { mItems.erase(relativePath); }

    size_t size() const { return mItems.size(); }
    bool operator==(const TreeSnapshot& other) const = default;

private:
    std::map<std::string, std::string> mItems; // relative path → description
};
