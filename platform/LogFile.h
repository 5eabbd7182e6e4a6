#pragma once

#include "platform/UniqueFd.h"

#include <optional>
#include <string>

/// A log that lines are appended to, each with one write so that two writers never mix their lines.
///
/// A log is only ever a plain file of its own: a link, a hard link to another file (more than one name),
/// a FIFO, a device or a folder at its path is a log that cannot be opened. Nothing at the path is opened
/// before it was seen to be a regular file, and the open never blocks.
class LogFile {
public:
    /// Opens a log of the system being cleaned, reached as ConfinedWalker reaches items; created (mode
    /// 0644) when missing, with its folder when only that is missing. nullopt, with the reason in
    /// `error`, when it cannot be opened.
    static std::optional<LogFile> openInSystem(const std::string& systemPath, std::string& error);

    /// Opens (creating) a log at a host path, on the same terms.
    static std::optional<LogFile> openOnHost(const std::string& hostPath, std::string& error);

    /// Appends the text; false when it could not be written whole.
    bool append(const std::string& text) const;

private:
    explicit LogFile(UniqueFd fd) : mFd(std::move(fd)) {}

    UniqueFd mFd;
};
