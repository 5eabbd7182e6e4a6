#include "tools/bom/FolderScanner.h"

#include "receipts/Cksum.h"

#include "platform/DirectoryHandle.h"
#include "platform/HostIo.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::string describe(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

// "folder/name", for host paths and BOM paths alike.
std::string joined(const std::string& folder, const std::string& name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    return path.append(folder).append(1, '/').append(name);
}

BomEntry fromStat(std::string path, const struct stat& info) {
    BomEntry entry;
    entry.path = std::move(path);
    entry.mode = static_cast<uint16_t>(info.st_mode);
    entry.uid = static_cast<uint32_t>(info.st_uid);
    entry.gid = static_cast<uint32_t>(info.st_gid);
    entry.mtime = static_cast<uint32_t>(info.st_mtime);
    entry.size = static_cast<uint64_t>(info.st_size);
    return entry;
}

bool checksumFile(const std::string& hostPath, uint32_t& checksum, std::string& error) {
    UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        error = describe(hostPath, "cannot open");
        return false;
    }
    Cksum sum;
    std::string buffer(size_t{64} * 1024, '\0');
    // The holes of a sparse file read as zeros: they are counted, not read, so that a file of gibibytes
    // with little data costs what its data costs.
    off_t offset = 0;
    for (;;) {
        off_t data = ::lseek(fd.get(), offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO) {
            // Nothing but a hole from here to the end.
            const off_t end = ::lseek(fd.get(), 0, SEEK_END);
            sum.updateZeros(end > offset ? static_cast<uint64_t>(end - offset) : 0);
            break;
        }
        off_t hole = data < 0 ? -1 : ::lseek(fd.get(), data, SEEK_HOLE);
        if (data < 0 || hole < 0) {
            // A file system that cannot tell: everything is read.
            data = offset;
            hole = std::numeric_limits<off_t>::max();
        }
        sum.updateZeros(static_cast<uint64_t>(data - offset));
        offset = data;
        while (offset < hole) {
            const size_t wanted = static_cast<size_t>(std::min<off_t>(hole - offset, buffer.size()));
            const ssize_t got = ::pread(fd.get(), buffer.data(), wanted, offset);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                error = describe(hostPath, "cannot read");
                return false;
            }
            if (got == 0) {
                checksum = sum.value();
                return true;
            }
            sum.update(std::string_view(buffer.data(), static_cast<size_t>(got)));
            offset += got;
        }
    }
    checksum = sum.value();
    return true;
}

bool readTarget(const std::string& hostPath, std::string& target, std::string& error) {
    std::optional<std::string> read = hostio::readLinkAt(AT_FDCWD, hostPath);
    if (!read) {
        error = describe(hostPath, "cannot read the link");
        return false;
    }
    target = std::move(*read);
    return true;
}

} // namespace

std::optional<std::vector<BomEntry>> FolderScanner::scan(const std::string& hostFolder, std::string& error) {
    // The folder named on the command line may be reached through a link (like find -H); nothing
    // inside it is followed.
    struct stat rootInfo {};
    if (::stat(hostFolder.c_str(), &rootInfo) != 0) {
        error = describe(hostFolder, "cannot read");
        return std::nullopt;
    }
    if (!S_ISDIR(rootInfo.st_mode)) {
        error = hostFolder + ": not a folder";
        return std::nullopt;
    }
    std::vector<BomEntry> entries;
    entries.push_back(fromStat(".", rootInfo));
    entries.back().type = BomEntry::Type::Directory;

    // Folders still to read, as (host path, BOM path); a list rather than recursion for deep trees.
    std::vector<std::pair<std::string, std::string>> pending{{hostFolder, "."}};
    while (!pending.empty()) {
        const auto [hostDir, bomDir] = std::move(pending.back());
        pending.pop_back();
        std::optional<DirectoryHandle> dir = DirectoryHandle::open(hostDir);
        if (!dir) {
            error = describe(hostDir, "cannot read the folder");
            return std::nullopt;
        }
        for (;;) {
            const dirent* item = dir->next();
            if (item == nullptr) {
                if (errno != 0) {
                    error = describe(hostDir, "cannot read the folder");
                    return std::nullopt;
                }
                break;
            }
            const std::string name = item->d_name;
            const std::string hostPath = joined(hostDir, name);
            struct stat info {};
            if (::lstat(hostPath.c_str(), &info) != 0) {
                error = describe(hostPath, "cannot read");
                return std::nullopt;
            }
            BomEntry entry = fromStat(joined(bomDir, name), info);
            if (S_ISDIR(info.st_mode)) {
                entry.type = BomEntry::Type::Directory;
                pending.emplace_back(hostPath, entry.path);
            } else if (S_ISREG(info.st_mode)) {
                entry.type = BomEntry::Type::File;
                if (!checksumFile(hostPath, entry.checksum, error)) {
                    return std::nullopt;
                }
            } else if (S_ISLNK(info.st_mode)) {
                entry.type = BomEntry::Type::Link;
                if (!readTarget(hostPath, entry.linkTarget, error)) {
                    return std::nullopt;
                }
                entry.size = entry.linkTarget.size();
                entry.checksum = Cksum::of(entry.linkTarget);
            } else if (S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode)) {
                entry.type = BomEntry::Type::Device;
                entry.size = 0;
                // The macOS dev_t layout: major in the top byte, minor below.
                entry.checksum = (static_cast<uint32_t>(major(info.st_rdev)) << 24) |
                                 (static_cast<uint32_t>(minor(info.st_rdev)) & 0xFFFFFF);
            } else {
                continue;
            }
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}
