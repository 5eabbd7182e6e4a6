#include "platform/RealPath.h"

#include "platform/Path.h"
#include "platform/SystemRoot.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <optional>
#include <vector>

namespace {

// The system path of an open item: /proc tells its host path, which lies inside the root.
std::optional<std::string> systemPathOf(int fd, const std::string& hostRoot) {
    char buffer[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) {
        return std::nullopt;
    }
    const std::string host(buffer, static_cast<size_t>(length));
    if (hostRoot == "/") {
        return host;
    }
    if (!path::isInFolder(host, hostRoot)) {
        return std::nullopt;
    }
    return host.size() == hostRoot.size() ? "/" : host.substr(hostRoot.size());
}

} // namespace

std::string RealPath::resolve(const std::string& systemPath) {
    std::string standard = path::standardize(path::join("/", systemPath));
    std::vector<std::string> parts = path::components(standard);
    std::vector<std::string> missing;
    const std::string hostRoot = SystemRoot::hostRoot();
    while (!parts.empty()) {
        const UniqueFd item = SystemRoot::openInRoot(path::fromComponents(parts), O_PATH);
        if (item.valid()) {
            std::optional<std::string> resolved = systemPathOf(item.get(), hostRoot);
            if (!resolved) {
                return standard;
            }
            for (auto part = missing.rbegin(); part != missing.rend(); ++part) {
                *resolved = path::join(*resolved, *part);
            }
            return path::standardize(*resolved);
        }
        missing.push_back(parts.back());
        parts.pop_back();
    }
    return standard;
}
