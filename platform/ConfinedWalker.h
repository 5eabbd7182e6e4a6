#pragma once

#include "platform/UniqueFd.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// Finds items of the system being cleaned by walking their paths component by component from the
/// system root's descriptor, for the operations that delete or rewrite them.
///
/// Every folder on the way is opened without following links (openat, fstatat with
/// AT_SYMLINK_NOFOLLOW). The only symbolic links followed are the system's own at its top, /etc, /tmp
/// and /var, and only while each points exactly at its folder in /private: any other link could lead a
/// deletion by the super-user wherever whoever made it likes, so the path stops there. ".." never climbs
/// above the root.
///
/// The folders opened last are kept for the next lookup, so that walking a sorted list of paths costs
/// little more than the last components. Call forget() after anything else may have changed the tree.
class ConfinedWalker {
public:
    /// Why a path could not be walked.
    enum class Status {
        Found,      // the folder that holds the item is open
        Missing,    // a folder on the way does not exist
        UnsafeLink, // a folder on the way is a symbolic link other than /etc, /tmp and /var
        NotAFolder, // something on the way is neither a folder nor a link
        Failed,     // anything else (too many links, a folder that changed while it was opened, no root)
    };

    /// The folder that holds an item, open, with the item's name in it.
    struct Parent {
        Status status = Status::Failed;
        int fd = -1;          ///< owned by the walker; valid until its next call
        std::string name;     ///< the last component; "." for the root itself
        std::string physical; ///< the system path of the folder, links resolved
    };

    ConfinedWalker();
    ~ConfinedWalker();
    ConfinedWalker(const ConfinedWalker&) = delete;
    ConfinedWalker& operator=(const ConfinedWalker&) = delete;

    /// Opens the folder that holds a system path (standardized first); the last component itself is
    /// neither followed nor looked at. For "/" the root is opened and the name is ".".
    Parent parentOf(const std::string& systemPath);

    /// Opens a folder itself for reading its entries; the last component must be a real folder, never a
    /// link. Invalid (with the reason in `status`) otherwise.
    UniqueFd openFolder(const std::string& systemPath, Status& status);

    /// The entry names of a folder opened as openFolder() opens it (never through a link at its own
    /// place), sorted; nullopt when it cannot be opened or read.
    std::optional<std::vector<std::string>> folderEntries(const std::string& systemPath);

    /// Every item below a folder as paths relative to it, parents before their children, sorted by name
    /// per folder; links are listed but never entered. nullopt when the folder cannot be opened.
    std::optional<std::vector<std::string>> subpaths(const std::string& systemPath);

    /// Drops the folders kept open, for example after a folder was deleted or a command ran.
    void forget();

    /// The entry names of an open folder ("." and ".." left out), sorted; nullopt when it cannot be read.
    static std::optional<std::vector<std::string>> entries(int folderFd);

private:
    struct Step {
        std::string name; // physical component
        UniqueFd fd;
        bool direct = true; // reached without following a link or "..": the name is also the lexical one
    };

    Status descend(const std::vector<std::string>& components);
    Status enter(const std::string& name, int& linksLeft, std::vector<std::string>& pending, bool& pushed);
    std::string physicalPath() const;

    UniqueFd mRoot;
    uint64_t mGeneration = 0;
    std::vector<Step> mChain; // the folders below the root that the last walk opened, outermost first
};
