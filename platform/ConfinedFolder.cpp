#include "platform/ConfinedFolder.h"

#include "platform/FileStatus.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Enough for the depth of real packages; deeper folders are opened from the deepest one kept.
constexpr size_t kMaxOpenFolders = 32;

bool isStandardRelative(std::string_view relative) {
    if (relative.empty() || relative.front() == '/' || relative.back() == '/') {
        return false;
    }
    size_t start = 0;
    for (;;) {
        const size_t slash = relative.find('/', start);
        const std::string_view name = relative.substr(start, slash - start);
        if (name.empty() || name == "." || name == "..") {
            return false;
        }
        if (slash == std::string_view::npos) {
            return true;
        }
        start = slash + 1;
    }
}

bool isBelowOrSame(std::string_view path, std::string_view folder) {
    return folder.empty() || path::isInFolder(path, folder);
}

} // namespace

std::optional<ConfinedFolder> ConfinedFolder::open(const std::string& systemPath) {
    UniqueFd fd = SystemRoot::openInRoot(systemPath, O_PATH | O_DIRECTORY);
    if (!fd.valid()) {
        return std::nullopt;
    }
    return ConfinedFolder(std::move(fd));
}

std::optional<FileAttributes> ConfinedFolder::attributesOf(const std::string& relative) const {
    const std::string standard = path::standardize(relative);
    if (standard.empty() || standard.front() == '/' || standard == ".." || standard.rfind("../", 0) == 0) {
        return std::nullopt;
    }
    return attributesOfStandard(standard);
}

int ConfinedFolder::folderFd(std::string_view relative) const {
    if (relative.empty()) {
        return mFd.get();
    }
    while (!mOpen.empty() && !isBelowOrSame(relative, mOpen.back().first)) {
        mOpen.pop_back();
    }
    int from = mFd.get();
    std::string_view rest = relative;
    if (!mOpen.empty()) {
        if (mOpen.back().first == relative) {
            return mOpen.back().second.get();
        }
        from = mOpen.back().second.get();
        rest = relative.substr(mOpen.back().first.size() + 1);
    }
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const std::string restPath(rest);
    UniqueFd opened(static_cast<int>(::syscall(SYS_openat2, from, restPath.c_str(), &how, sizeof how)));
    if (!opened.valid()) {
        return -1;
    }
    if (mOpen.size() >= kMaxOpenFolders) {
        mOpen.pop_back();
    }
    mOpen.emplace_back(std::string(relative), std::move(opened));
    return mOpen.back().second.get();
}

std::optional<FileAttributes> ConfinedFolder::attributesOfStandard(std::string_view relative) const {
    struct stat st {};
    if (relative == ".") {
        if (::fstat(mFd.get(), &st) != 0) {
            return std::nullopt;
        }
        return filestatus::attributesFromStat(st);
    }
    if (!isStandardRelative(relative)) {
        return std::nullopt;
    }
    const size_t slash = relative.rfind('/');
    const std::string_view parent =
        slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash);
    const std::string name(slash == std::string_view::npos ? relative : relative.substr(slash + 1));
    const int parentFd = folderFd(parent);
    if (parentFd < 0 || ::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return filestatus::attributesFromStat(st);
}
