#include "catalogue/SearchSoftwareInformationManager.h"

#include "platform/FileManager.h"
#include "platform/PropertyList.h"

namespace {

bool hasPrefix(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool hasSuffix(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool SearchSoftwareInformationManager::searchUnInstallPList(const std::optional<std::string>& folder) {
    if (!folder) {
        return false;
    }
    std::optional<std::vector<std::string>> names = FileManager::contentsOfDirectoryAtPathCDA(*folder);
    if (!names) {
        return false;
    }
    bool found = false;
    for (const std::string& name : *names) {
        if (hasPrefix(name, "com.torva.") && hasSuffix(name, ".UnInstallList.plist")) {
            mUnInstallSoftwarePListArray.push_back(name);
            found = true;
        }
    }
    return found;
}

bool SearchSoftwareInformationManager::searchSoftwareUpdateReciepts(
    const std::optional<std::string>& folder) {
    if (!folder) {
        return false;
    }
    mSoftwareUpdateBomArray.clear();
    std::optional<std::vector<std::string>> names = FileManager::contentsOfDirectoryAtPathCDA(*folder);
    if (!names) {
        return false;
    }
    for (const std::string& name : *names) {
        if (!hasPrefix(name, "com.apple.pkg.TORVA") || !hasSuffix(name, ".plist")) {
            continue;
        }
        std::optional<PlistValue> receipt = PropertyList::readDictionary(*folder + name);
        if (!receipt) {
            continue;
        }
        if (std::optional<std::string> identifier = receipt->stringForKey("PackageIdentifier")) {
            mSoftwareUpdateBomArray.push_back(PackageInfoEntry::fromReceipt(*identifier));
        }
    }
    return !mSoftwareUpdateBomArray.empty();
}
