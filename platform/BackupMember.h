#pragma once

#include "platform/ExtendedAttributes.h"

#include <cstdint>
#include <ctime>
#include <string>

/// One item of a backup as its member in the archive describes it.
struct BackupMember {
    enum class Kind { File, Folder, Link };

    Kind kind = Kind::File;
    /// The system path the item had, links on the way resolved ("/Library/Printers/…").
    std::string path;
    std::string linkTarget; // links only
    uint64_t size = 0;      // files only
    uint32_t mode = 0;      // permission bits, set-id and sticky bits included
    uint32_t uid = 0;
    uint32_t gid = 0;
    timespec accessTime{};
    timespec modificationTime{};
    /// Extended attributes, ACLs among them (files and folders).
    xattrs::List attributes;

    /// "file", "folder" or "link", as the log and the listing name the kind.
    static const char* kindName(Kind kind);
};

/// A file an uninstall edited in place, as the edit left it: a restore may put the file kept before the
/// edit back over it as long as it is still exactly this.
struct EditedFile {
    std::string path; // system path, links resolved
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modificationTime = 0; // nanoseconds
};

/// The times a folder had before the run removed anything from it, for a folder that stayed: a restore
/// sets them back once what it held is back.
struct FolderTimes {
    std::string path; // system path, links resolved
    timespec accessTime{};
    timespec modificationTime{};
};
