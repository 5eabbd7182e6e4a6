#pragma once

#include "engine/BackupManifest.h"
#include "platform/BackupReader.h"

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

/// What a backup archive holds, read once from beginning to end without writing anything: how many whole
/// members, which one is the manifest, whether a member is one that no backup writes, and where the
/// archive stops being readable. A restore reads this first and writes only from an archive whose
/// members are all ones a backup writes; `restore --list` prints it.
struct BackupContents {
    /// The whole members, the manifest among them, before the archive ended or stopped being readable.
    size_t members = 0;
    /// The manifest: the last member, when it is named as one and holds one.
    std::optional<BackupManifest> manifest;
    std::optional<size_t> manifestIndex;
    /// The first member no backup writes, as "member 3 ("../x"): its name climbs out of the system…".
    std::string foreign;
    /// Why the archive could not be read to its end, after `members` whole members; empty when it could.
    std::string damage;

    /// Called for every member read, with its index and header (the manifest too).
    using Visitor = std::function<void(size_t index, const BackupReader::Header& header)>;

    /// Reads the whole archive.
    static BackupContents scan(BackupReader& reader, const Visitor& visit = {});

    /// One member as `restore --list` prints it: kind, mode, owner:group, size, modification time, the
    /// system path, a link's target and the names of its extended attributes; control characters escaped.
    static std::string describe(const BackupReader::Header& header);

    /// Prints every member and then the manifest, or why there is none, what no backup writes and where
    /// the archive stops; false when a restore of it would not be whole (damaged or foreign).
    static bool list(BackupReader& reader, std::ostream& out);

    /// A name or text with control characters and backslashes escaped ("\x0a"), for one line of output.
    static std::string printable(const std::string& text);
};
