#include "platform/SystemRoot.h"

#include "platform/HostIo.h"
#include "platform/Path.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

struct RootState {
    std::mutex lock;
    std::string hostRoot = "/";
    UniqueFd fd;
    std::atomic<uint64_t> generation{0};
};

RootState& state() {
    static RootState s;
    return s;
}

int rootFd() {
    RootState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.fd.valid()) {
        s.fd.reset(::open(s.hostRoot.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    return s.fd.get();
}

// The system path relative to the root, as openat2 wants it ("." for the root itself).
std::string relativeToRoot(const std::string& systemPath) {
    std::string standard = path::standardize(path::join("/", systemPath));
    if (standard == "/") {
        return ".";
    }
    return standard.substr(1);
}

std::optional<std::string> fdPath(int fd) {
    return hostio::readLinkAt(AT_FDCWD, "/proc/self/fd/" + std::to_string(fd));
}

} // namespace

bool SystemRoot::set(const std::string& hostFolder) {
    char resolved[PATH_MAX];
    if (::realpath(hostFolder.c_str(), resolved) == nullptr) {
        return false;
    }
    UniqueFd fd(::open(resolved, O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        return false;
    }
    {
        RootState& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        s.hostRoot = resolved;
        s.fd = std::move(fd);
        s.generation.fetch_add(1);
    }
    return true;
}

uint64_t SystemRoot::generation() {
    return state().generation.load();
}

std::string SystemRoot::hostRoot() {
    RootState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.hostRoot;
}

UniqueFd SystemRoot::openInRoot(const std::string& systemPath, int flags) {
    const int root = rootFd();
    if (root < 0) {
        return UniqueFd();
    }
    const std::string relative = relativeToRoot(systemPath);
    open_how how{};
    how.flags = static_cast<unsigned long long>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
    // Kernels before 5.6 have no confined lookup; nothing is opened there rather than risk leaving the
    // root through a link.
    const long fd = ::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how);
    return UniqueFd(static_cast<int>(fd));
}

UniqueFd SystemRoot::openParent(const std::string& systemPath, std::string& name) {
    const std::string standard = path::standardize(path::join("/", systemPath));
    if (standard == "/") {
        name = ".";
        return openInRoot("/", O_PATH | O_DIRECTORY);
    }
    name = path::lastComponent(standard);
    return openInRoot(path::deletingLastComponent(standard), O_PATH | O_DIRECTORY);
}

std::optional<std::string> SystemRoot::hostPath(const std::string& systemPath) {
    const UniqueFd item = openInRoot(systemPath, O_PATH);
    if (!item.valid()) {
        return std::nullopt;
    }
    std::optional<std::string> resolved = fdPath(item.get());
    const std::string root = hostRoot();
    if (!resolved || !path::isInFolder(*resolved, root)) {
        return std::nullopt;
    }
    return resolved;
}
