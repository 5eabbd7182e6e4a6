#include "platform/ConfinedWalker.h"

#include "platform/DirectoryHandle.h"
#include "platform/HostIo.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// As many links as the kernel follows in one lookup.
constexpr int kMaxLinks = 40;

// The links macOS keeps at the top of every system: /etc, /tmp and /var lead to their folders in /private.
bool isSystemLink(const std::string& name, const std::string& target) {
    for (const char* folder : {"etc", "tmp", "var"}) {
        if (name == folder &&
            (target == std::string("private/") + folder || target == std::string("/private/") + folder)) {
            return true;
        }
    }
    return false;
}

ConfinedWalker::Status statusOfErrno(int error) {
    switch (error) {
    case ENOENT:
        return ConfinedWalker::Status::Missing;
    case ENOTDIR:
        return ConfinedWalker::Status::NotAFolder;
    default:
        return ConfinedWalker::Status::Failed;
    }
}

// The entry names of an open folder, sorted; reads through a duplicate of the descriptor.
std::optional<std::vector<std::string>> entriesOf(int folderFd) {
    std::optional<DirectoryHandle> listing =
        DirectoryHandle::fromDescriptor(UniqueFd(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0)));
    return listing ? listing->sortedNames() : std::nullopt;
}

void collectBelow(int folderFd, const std::string& prefix, std::vector<std::string>& out) {
    const std::optional<std::vector<std::string>> names = entriesOf(folderFd);
    if (!names) {
        return;
    }
    for (const std::string& name : *names) {
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        out.push_back(relative);
        UniqueFd child(::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (child.valid()) {
            collectBelow(child.get(), relative, out);
        }
    }
}

} // namespace

ConfinedWalker::ConfinedWalker() = default;
ConfinedWalker::~ConfinedWalker() = default;

void ConfinedWalker::forget() {
    mChain.clear();
}

std::string ConfinedWalker::physicalPath() const {
    std::string out = "/";
    for (const Step& step : mChain) {
        out = path::join(out, step.name);
    }
    return out;
}

ConfinedWalker::Status ConfinedWalker::enter(const std::string& name, int& linksLeft,
                                             std::vector<std::string>& pending, bool& pushed) {
    pushed = false;
    if (name == "..") {
        if (!mChain.empty()) {
            mChain.pop_back();
        }
        return Status::Found;
    }
    const int top = mChain.empty() ? mRoot.get() : mChain.back().fd.get();
    struct stat st {};
    if (::fstatat(top, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return statusOfErrno(errno);
    }
    if (S_ISLNK(st.st_mode)) {
        // Who owns a link says nothing about who meant it (on a system under --root least of all): only
        // the system's own links at its top lead on, and only while they point where the system puts them.
        if (!mChain.empty()) {
            return Status::UnsafeLink;
        }
        const std::optional<std::string> target = hostio::readLinkAt(top, name);
        if (!target || !isSystemLink(name, *target)) {
            return Status::UnsafeLink;
        }
        if (--linksLeft < 0) {
            return Status::Failed;
        }
        if (target->front() == '/') {
            mChain.clear();
        }
        std::vector<std::string> parts = path::components(*target);
        if (!parts.empty() && parts.front() == "/") {
            parts.erase(parts.begin());
        }
        // `pending` is kept in reverse order: its back is the next component.
        pending.insert(pending.end(), parts.rbegin(), parts.rend());
        return Status::Found;
    }
    if (!S_ISDIR(st.st_mode)) {
        return Status::NotAFolder;
    }
    UniqueFd folder(::openat(top, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!folder.valid() || ::fstat(folder.get(), &opened) != 0 || opened.st_dev != st.st_dev ||
        opened.st_ino != st.st_ino) {
        // Replaced between the look and the open: whatever is there now was not checked.
        return folder.valid() || errno == ENOTDIR || errno == ELOOP ? Status::Failed : statusOfErrno(errno);
    }
    mChain.push_back({name, std::move(folder), true});
    pushed = true;
    return Status::Found;
}

ConfinedWalker::Status ConfinedWalker::descend(const std::vector<std::string>& components) {
    if (!mRoot.valid() || mGeneration != SystemRoot::generation()) {
        mChain.clear();
        mGeneration = SystemRoot::generation();
        mRoot = SystemRoot::openInRoot("/", O_PATH | O_DIRECTORY);
        if (!mRoot.valid()) {
            return Status::Failed;
        }
    }
    // Keep the folders of the last walk that this path shares, as long as no link was followed to them.
    size_t kept = 0;
    while (kept < mChain.size() && kept < components.size() && mChain[kept].direct &&
           mChain[kept].name == components[kept]) {
        ++kept;
    }
    mChain.resize(kept);

    int linksLeft = kMaxLinks;
    bool direct = true;
    for (size_t i = kept; i < components.size(); ++i) {
        std::vector<std::string> pending{components[i]};
        while (!pending.empty()) {
            const std::string name = std::move(pending.back());
            pending.pop_back();
            if (name.empty() || name == ".") {
                continue;
            }
            bool pushed = false;
            const Status status = enter(name, linksLeft, pending, pushed);
            if (status != Status::Found) {
                mChain.clear();
                return status;
            }
            if (pushed) {
                mChain.back().direct = direct;
            } else {
                direct = false; // a link or ".." was taken: later names need not be the path's own
            }
        }
    }
    return Status::Found;
}

ConfinedWalker::Parent ConfinedWalker::parentOf(const std::string& systemPath) {
    Parent parent;
    const std::string standard = path::standardize(path::join("/", systemPath));
    std::vector<std::string> parts = path::components(standard);
    parts.erase(parts.begin()); // the leading "/"
    if (parts.empty()) {
        parts.emplace_back("."); // the root stands as "." in itself
    }
    parent.name = std::move(parts.back());
    parts.pop_back();
    parent.status = descend(parts);
    if (parent.status == Status::Found) {
        parent.fd = mChain.empty() ? mRoot.get() : mChain.back().fd.get();
        parent.physical = physicalPath();
    }
    return parent;
}

UniqueFd ConfinedWalker::openFolder(const std::string& systemPath, Status& status) {
    const Parent parent = parentOf(systemPath);
    status = parent.status;
    if (status != Status::Found) {
        return UniqueFd();
    }
    struct stat st {};
    if (::fstatat(parent.fd, parent.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        status = statusOfErrno(errno);
        return UniqueFd();
    }
    if (S_ISLNK(st.st_mode)) {
        status = Status::UnsafeLink;
        return UniqueFd();
    }
    if (!S_ISDIR(st.st_mode)) {
        status = Status::NotAFolder;
        return UniqueFd();
    }
    UniqueFd folder(
        ::openat(parent.fd, parent.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!folder.valid() || ::fstat(folder.get(), &opened) != 0 || opened.st_ino != st.st_ino ||
        opened.st_dev != st.st_dev) {
        status = Status::Failed;
        return UniqueFd();
    }
    return folder;
}

std::optional<std::vector<std::string>> ConfinedWalker::folderEntries(const std::string& systemPath) {
    Status status = Status::Failed;
    const UniqueFd folder = openFolder(systemPath, status);
    return folder.valid() ? entries(folder.get()) : std::nullopt;
}

std::optional<std::vector<std::string>> ConfinedWalker::subpaths(const std::string& systemPath) {
    Status status = Status::Failed;
    UniqueFd folder = openFolder(systemPath, status);
    if (!folder.valid()) {
        return std::nullopt;
    }
    std::vector<std::string> out;
    collectBelow(folder.get(), "", out);
    return out;
}

std::optional<std::vector<std::string>> ConfinedWalker::entries(int folderFd) {
    return entriesOf(folderFd);
}
