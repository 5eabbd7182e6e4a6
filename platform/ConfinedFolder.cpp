#include "platform/ConfinedFolder.h"

#include "platform/FileStatus.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

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
    struct stat st {};
    if (standard == ".") {
        if (::fstat(mFd.get(), &st) != 0) {
            return std::nullopt;
        }
        return filestatus::attributesFromStat(st);
    }
    const std::string parent = path::deletingLastComponent(standard);
    const std::string name = path::lastComponent(standard);
    int parentFd = mFd.get();
    UniqueFd opened;
    if (!parent.empty()) {
        open_how how{};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        opened.reset(static_cast<int>(::syscall(SYS_openat2, mFd.get(), parent.c_str(), &how, sizeof how)));
        if (!opened.valid()) {
            return std::nullopt;
        }
        parentFd = opened.get();
    }
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return filestatus::attributesFromStat(st);
}
