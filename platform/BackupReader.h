#pragma once

#include "platform/BackupMember.h"
#include "platform/UniqueFd.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct archive;

/// Reads a backup archive member by member: only tar and pax, nothing compressed, nothing else
/// libarchive knows. Every header is checked against what a backup writes: a member whose name is
/// absolute, climbs with "..", is not in standard form, or whose kind is not a file, folder or link (hard
/// links, devices, sparse files) is described but marked with the reason it cannot be one of ours.
class BackupReader {
public:
    /// Opens a host file for reading; nullptr, with the reason in `error`, when it cannot be opened.
    static std::unique_ptr<BackupReader> openFile(const std::string& hostPath, std::string& error);

    /// Reads an archive held in memory (which must outlive the reader).
    static std::unique_ptr<BackupReader> openMemory(std::string_view bytes);

    ~BackupReader();
    BackupReader(const BackupReader&) = delete;
    BackupReader& operator=(const BackupReader&) = delete;

    /// A member's header, as read.
    struct Header {
        BackupMember member;
        /// The name as stored in the archive, for messages.
        std::string name;
        /// Why no backup writes such a member; empty when it could be one.
        std::string problem;
    };

    enum class Next {
        Member,  // `header` holds the next member; its data comes next
        End,     // the archive ended where an archive may end
        Damaged, // it cannot be read on (error() says why): cut short, or not an archive
    };

    /// The next member's header; the data of the one before is skipped if it was not read.
    Next next(Header& header);

    /// Copies the current member's data to `fd`; false, with the reason in `error`, when the archive
    /// ends early or the write fails (`writeFailed` then tells which).
    bool copyData(int fd, std::string& error, bool& writeFailed);

    /// The current member's data when it is at most `maxSize` bytes; nullopt when larger or damaged.
    std::optional<std::string> readData(size_t maxSize);

    /// Reads past the current member's data, checking that the archive holds all of it; false when not.
    bool skipData();

    /// Why the archive could not be read on.
    const std::string& error() const { return mError; }

private:
    explicit BackupReader(struct archive* reader, UniqueFd fd);
    void noteError();

    struct archive* mReader = nullptr;
    UniqueFd mFd;
    std::string mError;
};
