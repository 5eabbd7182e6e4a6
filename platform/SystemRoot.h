#pragma once

#include "platform/UniqueFd.h"

#include <cstdint>
#include <optional>
#include <string>

/// The folder that stands for "/" of the macOS system being cleaned ("/" unless --root says otherwise).
///
/// Every macOS path of the program is a system path; only the platform layer turns one into a host path.
/// Lookups stay inside the root: ".." and absolute symbolic links met on the way are resolved against the
/// root, never against the host's own "/".
class SystemRoot {
public:
    /// Makes `hostFolder` the system root; false (and the root unchanged) when it is not a folder.
    static bool set(const std::string& hostFolder);

    /// A number that changes whenever the root is set, so that what was read from one system is not taken
    /// for another.
    static uint64_t generation();

    /// The host folder of the root, absolute and without symbolic links ("/" by default).
    static std::string hostRoot();

    /// Host path of a system path for an external command's argument, every component resolved inside
    /// the root (a link at the end too), so that the command cannot be led outside it; nullopt when the
    /// item does not exist inside the root. Such a path is then not handed to any command.
    static std::optional<std::string> hostPath(const std::string& systemPath);

    /// Opens a system path inside the root with open(2) `flags`; the last component is followed when it
    /// is a symbolic link unless `flags` holds O_NOFOLLOW. Invalid on failure (errno set).
    static UniqueFd openInRoot(const std::string& systemPath, int flags);

    /// Opens the folder that holds a system path (O_PATH) and gives the last component in `name`, for
    /// the *at(2) calls that must not follow it. For "/" the root itself is opened and `name` is ".".
    static UniqueFd openParent(const std::string& systemPath, std::string& name);
};
