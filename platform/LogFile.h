#pragma once

#include "platform/UniqueFd.h"

#include <optional>
#include <string>

/// A log that lines are appended to, each with one write so that two writers never mix their lines.
class LogFile {
public:
    /// Opens a log of the system being cleaned, reached without following a link (as ConfinedWalker
    /// walks); created (mode 0644) when missing, with its folder when only that is missing. The file itself
    /// must not be a link. nullopt, with the reason in `error`, when it cannot be opened.
    static std::optional<LogFile> openInSystem(const std::string& systemPath, std::string& error);

    /// Opens (creating) a log at a host path.
    static std::optional<LogFile> openOnHost(const std::string& hostPath, std::string& error);

    /// Appends the text; false when it could not be written whole.
    bool append(const std::string& text) const;

private:
    explicit LogFile(UniqueFd fd) : mFd(std::move(fd)) {}

    UniqueFd mFd;
};
