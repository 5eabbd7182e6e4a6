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

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

// Folders deeper than this are opened again from the start folder rather than kept open, so that a deep
// tree cannot use up the descriptors.
constexpr size_t kOpenFolderDepth = 64;

class Walk {
public:
    Walk(std::string systemFolder, int startFd, FolderWalker::Readability readability,
         FolderWalker::Detail detail, FolderWalker::Paths paths)
        : mSystemFolder(std::move(systemFolder)), mStartFd(startFd), mReadability(readability),
          mDetail(detail), mPaths(paths) {}

    FolderWalker::Result run() {
        // Depth first with a stack of our own: a tree as deep as paths allow must not use up the
        // program's stack.
        std::vector<Level> stack;
        if (std::optional<Level> top = list(mStartFd, "", 0)) {
            stack.push_back(std::move(*top));
        }
        while (!stack.empty()) {
            Level& level = stack.back();
            if (level.next == level.entries.size()) {
                stack.pop_back();
                continue;
            }
            if (level.depth > 0 && !level.fd.valid()) {
                level.fd = openBeneath(level.prefix);
                if (!level.fd.valid()) {
                    mResult.problems.push_back("cannot list " + systemPathOf(level.prefix) + ": " +
                                               std::strerror(errno));
                    stack.pop_back();
                    continue;
                }
            }
            std::optional<Level> child = visitEntry(level);
            if (child) {
                if (level.depth >= kOpenFolderDepth) {
                    level.fd.reset(); // opened again when the walk comes back to it
                }
                stack.push_back(std::move(*child));
            }
        }
        if (mTooLong > 0) {
            mResult.problems.push_back(std::to_string(mTooLong) + " items below " + mSystemFolder +
                                       " were left out: their paths are longer than " +
                                       std::to_string(FolderWalker::kMaxPathLength) + " bytes");
        }
        return std::move(mResult);
    }

private:
    // A folder being walked: its entries sorted by name and the next one to look at. `fd` is the
    // folder's own descriptor for the *at calls (the start folder's is mStartFd).
    struct Level {
        UniqueFd fd;
        std::string prefix;
        size_t depth = 0;
        std::vector<std::pair<std::string, unsigned char>> entries;
        size_t next = 0;
    };

    int descriptorOf(const Level& level) const { return level.depth == 0 ? mStartFd : level.fd.get(); }

    // `base`/`prefix`/`name` with the empty parts left out, built in one allocation: the walk makes one
    // or two such paths for every item.
    static std::string joined(std::string_view base, std::string_view prefix, std::string_view name) {
        std::string path;
        path.reserve(base.size() + prefix.size() + name.size() + 2);
        for (const std::string_view part : {base, prefix, name}) {
            if (part.empty()) {
                continue;
            }
            if (!path.empty() && path.back() != '/') {
                path += '/';
            }
            path += part;
        }
        return path;
    }

    std::string systemPathOf(const std::string& relative) const {
        return joined(mSystemFolder, relative, {});
    }

    bool readable(int folderFd, const std::string& prefix, const std::string& name,
                  const FileAttributes& attributes) const {
        if (attributes.type == FileType::SymbolicLink) {
            return FileManager::isReadableFileAtPath(joined(mSystemFolder, prefix, name));
        }
        // The super-user reads every file and folder; anyone else asks the system.
        return mSuperUser || ::faccessat(folderFd, name.c_str(), R_OK, AT_EACCESS) == 0;
    }

    static std::optional<FileType> typeOfEntry(unsigned char type) {
        switch (type) {
        case DT_REG:
            return FileType::Regular;
        case DT_DIR:
            return FileType::Directory;
        case DT_LNK:
            return FileType::SymbolicLink;
        case DT_CHR:
            return FileType::CharacterSpecial;
        case DT_BLK:
            return FileType::BlockSpecial;
        case DT_SOCK:
            return FileType::Socket;
        case DT_FIFO:
            return FileType::Fifo;
        default:
            return std::nullopt; // the file system does not say
        }
    }

    // A folder below the start folder, opened from it without passing any symbolic link.
    UniqueFd openBeneath(const std::string& relative) const {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        return UniqueFd(
            static_cast<int>(::syscall(SYS_openat2, mStartFd, relative.c_str(), &how, sizeof how)));
    }

    UniqueFd openChild(int folderFd, const std::string& name, const std::string& relative,
                       size_t depth) const {
        if (depth < kOpenFolderDepth) {
            return UniqueFd(
                ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        return openBeneath(relative);
    }

    // The sorted entries of the open folder `folderFd`; nullopt, with the problem noted, when it
    // cannot be listed.
    std::optional<Level> list(int folderFd, const std::string& prefix, size_t depth) {
        // The listing gets a descriptor of its own, so that folderFd stays usable for the *at calls. A
        // copy of the descriptor is enough: the listing is read whole before the walk goes on.
        std::optional<DirectoryHandle> listing =
            DirectoryHandle::fromDescriptor(UniqueFd(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0)));
        Level level;
        if (listing) {
            while (const dirent* entry = listing->next()) {
                level.entries.emplace_back(entry->d_name, entry->d_type);
            }
        }
        if (!listing || errno != 0) {
            mResult.problems.push_back("cannot list " + systemPathOf(prefix) + ": " + std::strerror(errno));
            return std::nullopt;
        }
        // Names are unique in a folder: the name alone orders the entries.
        std::sort(level.entries.begin(), level.entries.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        level.prefix = prefix;
        level.depth = depth;
        return level;
    }

    // Looks at the next entry of `level`; for a folder that can be listed, gives its level to walk next.
    std::optional<Level> visitEntry(Level& level) {
        const int folderFd = descriptorOf(level);
        const std::string& prefix = level.prefix;
        const auto& [name, entryType] = level.entries[level.next++];
        const size_t base = mSystemFolder.size() + (prefix.empty() ? 0 : prefix.size() + 1);
        if (base + 1 + name.size() > FolderWalker::kMaxPathLength) {
            ++mTooLong;
            return std::nullopt;
        }
        FolderWalker::Item item;
        const std::optional<FileType> listedType = typeOfEntry(entryType);
        if (mDetail == FolderWalker::Detail::Kind && listedType) {
            item.attributes.type = *listedType;
        } else {
            struct stat st {};
            if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                return std::nullopt; // gone since the listing
            }
            item.attributes = filestatus::attributesFromStat(st);
            item.complete = true;
        }
        if (mReadability == FolderWalker::Readability::Check) {
            item.readable = readable(folderFd, prefix, name, item.attributes);
        }
        const bool folder = item.attributes.type == FileType::Directory;
        item.path = joined(mPaths == FolderWalker::Paths::System ? std::string_view(mSystemFolder) : "",
                           prefix, name);
        mResult.items.push_back(std::move(item));
        if (!folder) {
            return std::nullopt;
        }
        const std::string relative = joined({}, prefix, name);
        UniqueFd child = openChild(folderFd, name, relative, level.depth);
        if (!child.valid()) {
            mResult.problems.push_back("cannot list " + systemPathOf(relative) + ": " + std::strerror(errno));
            return std::nullopt;
        }
        std::optional<Level> below = list(child.get(), relative, level.depth + 1);
        if (below) {
            below->fd = std::move(child);
        }
        return below;
    }

    std::string mSystemFolder;
    int mStartFd;
    FolderWalker::Readability mReadability;
    FolderWalker::Detail mDetail;
    FolderWalker::Paths mPaths;
    bool mSuperUser = ::geteuid() == 0;
    FolderWalker::Result mResult;
    size_t mTooLong = 0;
};

} // namespace

std::optional<FolderWalker::Result> FolderWalker::walk(const std::string& systemFolder, StartLink startLink,
                                                       Readability readability, Detail detail, Paths paths) {
    const int flags = O_RDONLY | O_DIRECTORY | (startLink == StartLink::Refuse ? O_NOFOLLOW : 0);
    const UniqueFd start = SystemRoot::openInRoot(systemFolder, flags);
    if (!start.valid()) {
        return std::nullopt;
    }
    std::string folder = path::standardize(path::join("/", systemFolder));
    return Walk(std::move(folder), start.get(), readability, detail, paths).run();
}
