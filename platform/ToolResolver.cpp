#include "platform/ToolResolver.h"

#include "platform/Bundle.h"
#include "platform/Path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace {

bool isExecutableFile(const std::string& hostPath) {
    struct stat st {};
    return ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(hostPath.c_str(), X_OK) == 0;
}

std::optional<std::string> inFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return std::nullopt;
    }
    const std::string candidate = path::join(folder, name);
    if (isExecutableFile(candidate)) {
        return candidate;
    }
    return std::nullopt;
}

std::optional<std::string> onSearchPath(const std::string& name) {
    const char* searchPath = std::getenv("PATH");
    std::string_view folders = searchPath != nullptr ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const size_t colon = folders.find(':');
        const std::string folder(folders.substr(0, colon));
        if (std::optional<std::string> found = inFolder(folder, name)) {
            return found;
        }
        if (colon == std::string_view::npos) {
            break;
        }
        folders.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ToolResolver::resolveExactly(const std::string& toolPath) {
    const std::string name = path::lastComponent(toolPath);
    if (name.empty() || name == "/" || name == "." || name == "..") {
        return std::nullopt;
    }
    if (const char* toolDir = std::getenv("UNINSTALLER_TOOL_DIR"); toolDir != nullptr) {
        if (std::optional<std::string> found = inFolder(toolDir, name)) {
            return found;
        }
    }
    if (!toolPath.empty() && toolPath.front() == '/' && isExecutableFile(toolPath)) {
        return toolPath;
    }
    return std::nullopt;
}

std::optional<std::string> ToolResolver::resolve(const std::string& toolPath) {
    if (std::optional<std::string> exact = resolveExactly(toolPath)) {
        return exact;
    }
    const std::string name = path::lastComponent(toolPath);
    if (name.empty() || name == "/" || name == "." || name == "..") {
        return std::nullopt;
    }
    if (std::optional<Bundle> bundle = Bundle::mainBundle()) {
        if (std::optional<std::string> found = inFolder(bundle->helpersPath(), name)) {
            return found;
        }
    }
    return onSearchPath(name);
}
