#include "platform/FileManager.h"

#include "platform/DirectoryHandle.h"
#include "platform/FileStatus.h"
#include "platform/FolderWalker.h"
#include "platform/HostIo.h"
#include "platform/Path.h"
#include "platform/SystemFloor.h"
#include "platform/SystemRoot.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <random>

namespace {

// Names in a folder opened for reading; takes ownership of `fd`.
std::optional<std::vector<std::string>> listNames(UniqueFd fd) {
    std::optional<DirectoryHandle> folder = DirectoryHandle::fromDescriptor(std::move(fd));
    if (!folder) {
        return std::nullopt;
    }
    return folder->sortedNames();
}

std::string temporaryName(const std::string& name) {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    std::string temporary = "." + name;
    temporary += ".tmp" + std::to_string(::getpid());
    temporary += "." + std::to_string(counter++);
    temporary += "." + std::to_string(device() % 100000);
    return temporary;
}

} // namespace

std::optional<std::vector<std::string>> FileManager::contentsOfDirectoryAtPathCDA(const std::string& path) {
    UniqueFd folder = SystemRoot::openInRoot(path, O_RDONLY | O_DIRECTORY);
    if (!folder.valid()) {
        return std::nullopt;
    }
    return listNames(std::move(folder));
}

std::optional<FileAttributes> FileManager::attributesOfItemAtPathCDA(const std::string& path) {
    std::string name;
    UniqueFd parent = SystemRoot::openParent(path, name);
    if (!parent.valid()) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return filestatus::attributesFromStat(st);
}

bool FileManager::fileExistsAtPath(const std::string& path) {
    return SystemRoot::openInRoot(path, O_PATH).valid();
}

bool FileManager::isReadableFileAtPath(const std::string& path) {
    UniqueFd item = SystemRoot::openInRoot(path, O_PATH);
    if (!item.valid()) {
        return false;
    }
    if (::faccessat(item.get(), "", R_OK, AT_EMPTY_PATH | AT_EACCESS) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    const std::string magic = "/proc/self/fd/" + std::to_string(item.get());
    return ::access(magic.c_str(), R_OK) == 0;
}

std::optional<std::vector<std::string>> FileManager::subpathsAtPath(const std::string& path) {
    std::optional<FolderWalker::Result> walked =
        FolderWalker::walk(path, FolderWalker::StartLink::Refuse, FolderWalker::Readability::Skip);
    if (!walked) {
        return std::nullopt;
    }
    std::vector<std::string> out;
    out.reserve(walked->items.size());
    for (FolderWalker::Item& item : walked->items) {
        out.push_back(std::move(item.path));
    }
    return out;
}

std::optional<std::string> FileManager::contentsAtPath(const std::string& path, size_t maxSize,
                                                       hostio::LastLink lastLink) {
    const UniqueFd file = openForReading(path, lastLink);
    if (!file.valid()) {
        return std::nullopt;
    }
    return hostio::readAll(file.get(), maxSize);
}

bool FileManager::writeFileAtomically(const std::string& path, const std::string& bytes) {
    if (SystemFloor::mayNotTouch(path)) {
        return false;
    }
    std::string name;
    UniqueFd parent = SystemRoot::openParent(path, name);
    if (!parent.valid() || name == "." || name == "..") {
        return false;
    }
    const std::string temporary = temporaryName(name);
    UniqueFd file(::openat(parent.get(), temporary.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.valid()) {
        return false;
    }
    const bool written = hostio::writeAll(file.get(), bytes) && ::fsync(file.get()) == 0;
    file.reset();
    if (!written || ::renameat(parent.get(), temporary.c_str(), parent.get(), name.c_str()) != 0) {
        ::unlinkat(parent.get(), temporary.c_str(), 0);
        return false;
    }
    return true;
}

FileAttributes filestatus::attributesFromStat(const struct stat& st) {
    FileAttributes attributes;
    switch (st.st_mode & S_IFMT) {
    case S_IFREG:
        attributes.type = FileType::Regular;
        break;
    case S_IFDIR:
        attributes.type = FileType::Directory;
        break;
    case S_IFLNK:
        attributes.type = FileType::SymbolicLink;
        break;
    case S_IFCHR:
        attributes.type = FileType::CharacterSpecial;
        break;
    case S_IFBLK:
        attributes.type = FileType::BlockSpecial;
        break;
    case S_IFSOCK:
        attributes.type = FileType::Socket;
        break;
    case S_IFIFO:
        attributes.type = FileType::Fifo;
        break;
    default:
        attributes.type = FileType::Unknown;
        break;
    }
    attributes.size = static_cast<uint64_t>(st.st_size);
    attributes.mode = st.st_mode;
    attributes.uid = st.st_uid;
    attributes.gid = st.st_gid;
    attributes.modificationTime = st.st_mtim.tv_sec;
    return attributes;
}

UniqueFd FileManager::openForReading(const std::string& path, hostio::LastLink lastLink) {
    const int noFollow = lastLink == hostio::LastLink::Refuse ? O_NOFOLLOW : 0;
    return hostio::ensureRegularFile(
        SystemRoot::openInRoot(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | noFollow));
}

bool FileManager::createFileExclusively(const std::string& path) {
    std::string name;
    UniqueFd parent = SystemRoot::openParent(path, name);
    if (!parent.valid() || name == "." || name == "..") {
        return false;
    }
    return UniqueFd(::openat(parent.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                             0600))
        .valid();
}
