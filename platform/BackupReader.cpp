#include "platform/BackupReader.h"

#include "platform/HostIo.h"

#include <archive.h>
#include <archive_entry.h>
#include <climits>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kMaxName = 255;

// Why a member name is not one a backup writes (relative to the root, in standard form); "" when it is.
std::string nameProblem(std::string_view name) {
    if (name.empty()) {
        return "it has no name";
    }
    if (name.front() == '/') {
        return "its name is an absolute path";
    }
    if (name.size() >= PATH_MAX - 1) {
        return "its name is too long";
    }
    size_t start = 0;
    for (;;) {
        const size_t slash = name.find('/', start);
        const std::string_view part = name.substr(start, slash - start);
        if (part == "..") {
            return "its name climbs out of the system with \"..\"";
        }
        if (part.empty() || part == ".") {
            return "its name is not in standard form";
        }
        if (part.size() > kMaxName) {
            return "a name in its path is too long";
        }
        if (slash == std::string_view::npos) {
            return "";
        }
        start = slash + 1;
    }
}

bool setTime(timespec& time, bool isSet, la_int64_t seconds, long nanoseconds) {
    if (!isSet) {
        return true;
    }
    if (nanoseconds < 0 || nanoseconds >= 1000000000L) {
        return false;
    }
    time.tv_sec = static_cast<time_t>(seconds);
    time.tv_nsec = nanoseconds;
    return true;
}

} // namespace

const char* BackupMember::kindName(Kind kind) {
    switch (kind) {
    case Kind::File:
        return "file";
    case Kind::Folder:
        return "folder";
    case Kind::Link:
        return "link";
    }
    return "file";
}

BackupReader::BackupReader(struct archive* reader, UniqueFd fd) : mReader(reader), mFd(std::move(fd)) {}

BackupReader::~BackupReader() {
    archive_read_free(mReader);
}

namespace {

struct archive* newReader() {
    struct archive* reader = archive_read_new();
    if (reader != nullptr && (archive_read_support_filter_none(reader) != ARCHIVE_OK ||
                              archive_read_support_format_tar(reader) != ARCHIVE_OK)) {
        archive_read_free(reader);
        return nullptr;
    }
    return reader;
}

} // namespace

std::unique_ptr<BackupReader> BackupReader::openFile(const std::string& hostPath, std::string& error) {
    UniqueFd fd = hostio::openRegularFile(hostPath, hostio::LastLink::Follow);
    if (!fd.valid()) {
        error = errno == EINVAL ? "it is not a regular file" : std::strerror(errno);
        return nullptr;
    }
    struct archive* reader = newReader();
    if (reader == nullptr) {
        error = "the archive reader cannot be set up";
        return nullptr;
    }
    if (archive_read_open_fd(reader, fd.get(), 65536) != ARCHIVE_OK) {
        const char* reason = archive_error_string(reader);
        error = reason != nullptr ? reason : "it cannot be read";
        archive_read_free(reader);
        return nullptr;
    }
    return std::unique_ptr<BackupReader>(new BackupReader(reader, std::move(fd)));
}

std::unique_ptr<BackupReader> BackupReader::openMemory(std::string_view bytes) {
    struct archive* reader = newReader();
    if (reader == nullptr) {
        return nullptr;
    }
    if (archive_read_open_memory(reader, bytes.data(), bytes.size()) != ARCHIVE_OK) {
        // Opening does not read yet; what cannot be read shows at the first header.
        archive_read_free(reader);
        return nullptr;
    }
    return std::unique_ptr<BackupReader>(new BackupReader(reader, UniqueFd()));
}

void BackupReader::noteError() {
    const char* reason = archive_error_string(mReader);
    mError = reason != nullptr && *reason != '\0' ? reason : "it cannot be read";
}

BackupReader::Next BackupReader::next(Header& header) {
    header = Header();
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(mReader, &entry);
    if (status == ARCHIVE_EOF) {
        return Next::End;
    }
    if (status < ARCHIVE_WARN || entry == nullptr) {
        noteError();
        return Next::Damaged;
    }
    BackupMember& member = header.member;
    const char* name = archive_entry_pathname(entry);
    header.name = name != nullptr ? name : "";
    std::string relative = header.name;
    const mode_t type = archive_entry_filetype(entry);
    if (type == AE_IFDIR && relative.size() > 1 && relative.back() == '/') {
        relative.pop_back(); // folders are stored as "name/"
    }
    header.problem = nameProblem(relative);
    member.path = "/" + relative;
    switch (type) {
    case AE_IFREG:
        member.kind = BackupMember::Kind::File;
        break;
    case AE_IFDIR:
        member.kind = BackupMember::Kind::Folder;
        break;
    case AE_IFLNK:
        member.kind = BackupMember::Kind::Link;
        break;
    default:
        header.problem = "it is neither a file, a folder nor a symbolic link";
        break;
    }
    if (archive_entry_hardlink(entry) != nullptr) {
        header.problem = "it is a hard link";
    } else if (archive_entry_sparse_count(entry) > 0) {
        header.problem = "it is a sparse file";
    }
    const la_int64_t size = archive_entry_size(entry);
    if (size < 0 || (member.kind != BackupMember::Kind::File && size != 0)) {
        header.problem = "its size is impossible";
    }
    member.size = size > 0 ? static_cast<uint64_t>(size) : 0;
    if (member.kind == BackupMember::Kind::Link) {
        const char* target = archive_entry_symlink(entry);
        member.linkTarget = target != nullptr ? target : "";
        if (member.linkTarget.empty() || member.linkTarget.size() >= PATH_MAX) {
            header.problem = "its link target is empty or too long";
        }
    }
    member.mode = static_cast<uint32_t>(archive_entry_perm(entry)) & 07777;
    const la_int64_t uid = archive_entry_uid(entry);
    const la_int64_t gid = archive_entry_gid(entry);
    // (uid_t)-1 means "leave it" to chown: no item is owned by it.
    if (uid < 0 || gid < 0 || uid >= UINT32_MAX || gid >= UINT32_MAX) {
        header.problem = "its owner or group is impossible";
    }
    member.uid = static_cast<uint32_t>(uid);
    member.gid = static_cast<uint32_t>(gid);
    if (!setTime(member.accessTime, archive_entry_atime_is_set(entry) != 0, archive_entry_atime(entry),
                 archive_entry_atime_nsec(entry)) ||
        !setTime(member.modificationTime, archive_entry_mtime_is_set(entry) != 0, archive_entry_mtime(entry),
                 archive_entry_mtime_nsec(entry))) {
        header.problem = "its times are impossible";
    }
    if (!archive_entry_atime_is_set(entry)) {
        member.accessTime = member.modificationTime;
    }
    archive_entry_xattr_reset(entry);
    const char* attribute = nullptr;
    const void* value = nullptr;
    size_t valueSize = 0;
    while (archive_entry_xattr_next(entry, &attribute, &value, &valueSize) == ARCHIVE_OK) {
        if (attribute == nullptr || *attribute == '\0') {
            header.problem = "it has an extended attribute without a name";
            continue;
        }
        member.attributes.emplace_back(attribute,
                                       std::string(static_cast<const char*>(value), value ? valueSize : 0));
    }
    return Next::Member;
}

bool BackupReader::copyData(int fd, std::string& error, bool& writeFailed) {
    writeFailed = false;
    std::vector<char> buffer(65536);
    for (;;) {
        const la_ssize_t got = archive_read_data(mReader, buffer.data(), buffer.size());
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            noteError();
            error = mError;
            return false;
        }
        if (!hostio::writeAll(fd, std::string_view(buffer.data(), static_cast<size_t>(got)))) {
            writeFailed = true;
            error = std::strerror(errno);
            return false;
        }
    }
}

std::optional<std::string> BackupReader::readData(size_t maxSize) {
    std::string bytes;
    std::vector<char> buffer(65536);
    for (;;) {
        const la_ssize_t got = archive_read_data(mReader, buffer.data(), buffer.size());
        if (got == 0) {
            return bytes;
        }
        if (got < 0) {
            noteError();
            return std::nullopt;
        }
        if (bytes.size() + static_cast<size_t>(got) > maxSize) {
            return std::nullopt;
        }
        bytes.append(buffer.data(), static_cast<size_t>(got));
    }
}

bool BackupReader::skipData() {
    // Read, not seek: a seek past the end of a file cut short would pass unnoticed.
    std::vector<char> buffer(65536);
    for (;;) {
        const la_ssize_t got = archive_read_data(mReader, buffer.data(), buffer.size());
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            noteError();
            return false;
        }
    }
}
