#pragma once

#include "platform/BackupMember.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The last member of a backup: which uninstall wrote it, of what, on which system.
struct BackupManifest {
    std::string run;     // the uninstall's identifier in its audit log
    std::string created; // when the backup was finished, "2026-12-07T03:40:36Z"
    std::string program;
    std::string programVersion;
    std::string systemRoot;    // the host folder of the system the items came from
    std::string systemVersion; // its ProductVersion ("10.15.7"); "" when unknown
    std::vector<std::string> rows;
    std::vector<std::string> takenAlong;
    size_t items = 0;
    /// The files the uninstall edited in place, as it left them.
    std::vector<EditedFile> edited;
    /// The folders it removed something from and left, with the times they had before.
    std::vector<FolderTimes> folderTimes;

    /// The edit of a system path, if the uninstall edited it; nullptr otherwise.
    const EditedFile* editOf(const std::string& path) const;

    /// The manifest as the JSON member holds it.
    std::string toJson() const;

    /// A manifest from a member's bytes; nullopt when they are not a manifest of a backup (not JSON, not
    /// an object, another format, a field of the wrong type).
    static std::optional<BackupManifest> parse(std::string_view text);
};
