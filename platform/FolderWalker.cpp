#include "platform/FolderWalker.h"

#include "platform/DirectoryHandle.h"
#include "platform/FileManager.h"
#include "platform/FileStatus.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Folders deeper than this are opened again from the start folder rather than kept open, so that a deep
// tree cannot use up the descriptors.
constexpr size_t kOpenFolderDepth = 64;

class Walk {
public:
    Walk(std::string systemFolder, int startFd, FolderWalker::Readability readability)
        : mSystemFolder(std::move(systemFolder)), mStartFd(startFd), mReadability(readability) {}

    FolderWalker::Result run() {
        visit(mStartFd, "", 0);
        if (mTooLong > 0) {
            mResult.problems.push_back(std::to_string(mTooLong) + " items below " + mSystemFolder +
                                       " were left out: their paths are longer than " +
                                       std::to_string(FolderWalker::kMaxPathLength) + " bytes");
        }
        return std::move(mResult);
    }

private:
    std::string systemPathOf(const std::string& relative) const {
        return relative.empty() ? mSystemFolder : path::join(mSystemFolder, relative);
    }

    bool readable(int folderFd, const std::string& name, const FileAttributes& attributes,
                  const std::string& relative) const {
        if (attributes.type == FileType::SymbolicLink) {
            return FileManager::isReadableFileAtPath(systemPathOf(relative));
        }
        return ::faccessat(folderFd, name.c_str(), R_OK, AT_EACCESS) == 0;
    }

    UniqueFd openChild(int folderFd, const std::string& name, const std::string& relative,
                       size_t depth) const {
        if (depth < kOpenFolderDepth) {
            return UniqueFd(
                ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        return UniqueFd(
            static_cast<int>(::syscall(SYS_openat2, mStartFd, relative.c_str(), &how, sizeof how)));
    }

    void visit(int folderFd, const std::string& prefix, size_t depth) {
        // The listing gets a descriptor of its own, so that folderFd stays usable for the *at calls.
        std::optional<DirectoryHandle> listing = DirectoryHandle::fromDescriptor(
            UniqueFd(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
        std::optional<std::vector<std::string>> names;
        if (listing) {
            names = listing->sortedNames();
        }
        if (!names) {
            mResult.problems.push_back("cannot list " + systemPathOf(prefix) + ": " + std::strerror(errno));
            return;
        }
        listing.reset();
        const size_t base = mSystemFolder.size() + (prefix.empty() ? 0 : prefix.size() + 1);
        for (const std::string& name : *names) {
            if (base + 1 + name.size() > FolderWalker::kMaxPathLength) {
                ++mTooLong;
                continue;
            }
            struct stat st {};
            if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                continue; // gone since the listing
            }
            FolderWalker::Item item;
            item.relativePath = prefix.empty() ? name : prefix + "/" + name;
            item.attributes = filestatus::attributesFromStat(st);
            if (mReadability == FolderWalker::Readability::Check) {
                item.readable = readable(folderFd, name, item.attributes, item.relativePath);
            }
            const bool isFolder = item.attributes.type == FileType::Directory;
            std::string relative = item.relativePath;
            mResult.items.push_back(std::move(item));
            if (isFolder) {
                const UniqueFd child = openChild(folderFd, name, relative, depth);
                if (child.valid()) {
                    visit(child.get(), relative, depth + 1);
                } else {
                    mResult.problems.push_back("cannot list " + systemPathOf(relative) + ": " +
                                               std::strerror(errno));
                }
            }
        }
    }

    std::string mSystemFolder;
    int mStartFd;
    FolderWalker::Readability mReadability;
    FolderWalker::Result mResult;
    size_t mTooLong = 0;
};

} // namespace

std::optional<FolderWalker::Result> FolderWalker::walk(const std::string& systemFolder, StartLink startLink,
                                                       Readability readability) {
    const int flags = O_RDONLY | O_DIRECTORY | (startLink == StartLink::Refuse ? O_NOFOLLOW : 0);
    const UniqueFd start = SystemRoot::openInRoot(systemFolder, flags);
    if (!start.valid()) {
        return std::nullopt;
    }
    std::string folder = path::standardize(path::join("/", systemFolder));
    return Walk(std::move(folder), start.get(), readability).run();
}
