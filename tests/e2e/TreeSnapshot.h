#pragma once

#include <map>
#include <string>

/// Everything below a host folder, item by item: kind, mode, and for files their size, a hash of their
/// content and their modification time, for links their target. Two snapshots are equal when nothing
/// was added, removed or changed (folder times aside: a file made and deleted again changes them).
class TreeSnapshot {
public:
    /// Reads the tree below `hostFolder` without following links.
    static TreeSnapshot take(const std::string& hostFolder);

    /// The items of either snapshot that differ, one line each ("+ path", "- path", "~ path"); empty when
    /// equal. Lists at most `limit` lines.
    std::string differences(const TreeSnapshot& after, size_t limit = 20) const;

    size_t size() const { return mItems.size(); }
    bool operator==(const TreeSnapshot& other) const = default;

private:
    std::map<std::string, std::string> mItems; // relative path → description
};
