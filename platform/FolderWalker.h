#pragma once

#include "platform/FileAttributes.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

/// Every item below a folder of the system being cleaned, each looked at once: its attributes (a link is
/// described, not followed) and, on request, whether this process may read it.
///
/// Nothing below the folder is reached through a symbolic link. Items come parents first, the names of
/// each folder sorted by their bytes. Paths that would be longer than any system call takes are not
/// built: the items below such a point are left out and counted in `problems`.
class FolderWalker {
public:
    /// The longest system path an item may have (the platform's limit for a path in a system call).
    static constexpr size_t kMaxPathLength = 4095;

    struct Item {
        /// Below the folder without a leading "/" (Paths::Relative), or the whole system path
        /// (Paths::System).
        std::string path;
        /// With Detail::Full everything; with Detail::Kind the type for certain and the rest only when
        /// `complete` (the folder entry alone did not tell the kind).
        FileAttributes attributes;
        bool complete = false;
        bool readable = false; ///< only with Readability::Check; a link is followed inside the root
    };

    struct Result {
        std::vector<Item> items;
        /// What was left out and why, one line each ("cannot list …", "… left out …").
        std::vector<std::string> problems;
    };

    enum class Readability { Skip, Check };
    /// Whether every item is looked at (size, mode, owner, times), or only its kind is needed, which the
    /// folder's listing usually tells without a look of its own.
    enum class Detail { Full, Kind };
    /// Which form Item::path takes.
    enum class Paths { Relative, System };
    enum class StartLink { Follow, Refuse };

    /// Walks the system folder `systemFolder`; nullopt when it is not a folder that can be opened (with
    /// StartLink::Refuse also when it is a symbolic link).
    static std::optional<Result> walk(const std::string& systemFolder, StartLink startLink,
                                      Readability readability, Detail detail = Detail::Full,
                                      Paths paths = Paths::Relative);
};
