#include "platform/Bundle.h"

#include "platform/FileManager.h"
#include "platform/HostIo.h"
#include "platform/Path.h"
#include "platform/PropertyList.h"
#include "platform/TestHooks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

bool isHostFolder(const std::string& hostPath) {
    struct stat st {};
    return ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::optional<Bundle> Bundle::mainBundle() {
    if (const std::optional<std::string> overridden = testhooks::bundleFolder()) {
        return bundleAtHostPath(*overridden);
    }
    std::optional<std::string> executable = hostio::readLinkAt(AT_FDCWD, "/proc/self/exe");
    if (!executable) {
        return std::nullopt;
    }
    // <bundle>/Contents/MacOS/<executable>
    const std::string bundle =
        path::deletingLastComponent(path::deletingLastComponent(path::deletingLastComponent(*executable)));
    return bundleAtHostPath(bundle);
}

std::optional<Bundle> Bundle::bundleAtSystemPath(const std::string& systemPath) {
    std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(systemPath);
    if (attributes && attributes->type == FileType::SymbolicLink) {
        // A link to a bundle folder opens the bundle it names, resolved inside the system root.
        if (!FileManager::contentsOfDirectoryAtPathCDA(systemPath)) {
            return std::nullopt;
        }
    } else if (!attributes || attributes->type != FileType::Directory) {
        return std::nullopt;
    }
    return Bundle(path::standardize(systemPath), /*inSystem=*/true);
}

std::optional<Bundle> Bundle::bundleAtHostPath(const std::string& hostPath) {
    if (hostPath.empty() || !isHostFolder(hostPath)) {
        return std::nullopt;
    }
    return Bundle(path::standardize(hostPath), /*inSystem=*/false);
}

std::string Bundle::resourcePath() const {
    return path::join(mPath, "Contents/Resources");
}

std::string Bundle::helpersPath() const {
    return path::join(mPath, "Contents/Helpers");
}

std::optional<PlistValue> Bundle::infoDictionary() const {
    const std::string file = path::join(mPath, "Contents/Info.plist");
    std::optional<PlistValue> info =
        mInSystem ? PropertyList::readFile(file) : PropertyList::readHostFile(file);
    if (!info || !info->isDictionary()) {
        return std::nullopt;
    }
    return info;
}
