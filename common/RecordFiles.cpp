#include "common/RecordFiles.h"

#include "platform/FileManager.h"
#include "platform/Path.h"
#include "platform/PropertyList.h"

#include <array>

namespace {

// In comparison form (standardized, case-folded).
constexpr std::array<std::string_view, 5> kReceiptsFolders = {
    "/library/receipts",
    "/var/db/receipts",
    "/private/var/db/receipts",
    "/system/library/receipts",
    "/library/apple/system/library/receipts",
};

bool strictlyWithin(std::string_view key, std::string_view folder) {
    return key != folder && path::isInFolder(key, folder);
}

} // namespace

bool RecordFiles::isInformationFile(std::string_view systemPath) {
    return isInformationFileKey(path::comparisonKey(systemPath));
}

bool RecordFiles::isInformationFileKey(std::string_view key) {
    constexpr std::string_view folder = "/library/preferences/";
    constexpr std::string_view prefix = "com.torva.";
    constexpr std::string_view suffix = ".uninstalllist.plist";
    if (!key.starts_with(folder)) {
        return false;
    }
    const std::string_view name = key.substr(folder.size());
    return name.find('/') == std::string_view::npos && name.size() > prefix.size() + suffix.size() &&
           name.starts_with(prefix) && name.ends_with(suffix);
}

bool RecordFiles::isInReceiptsFolder(std::string_view systemPath) {
    return isInReceiptsFolderKey(path::comparisonKey(systemPath));
}

bool RecordFiles::isInReceiptsFolderKey(std::string_view key) {
    for (const std::string_view folder : kReceiptsFolders) {
        if (strictlyWithin(key, folder)) {
            return true;
        }
    }
    // "/users/NAME/library/receipts/…": the receipts of a home folder installed to as a volume.
    constexpr std::string_view users = "/users/";
    const size_t name = key.find('/', users.size());
    return key.starts_with(users) && name != std::string::npos && name > users.size() &&
           key.compare(name, std::string_view("/library/receipts/").size(), "/library/receipts/") == 0;
}

bool RecordFiles::isReceiptBundleOf(const std::string& bundlePath, const std::string& identifier) {
    const std::optional<PlistValue> info =
        PropertyList::readDictionary(path::join(bundlePath, "Contents/Info.plist"));
    return info && !identifier.empty() && info->stringForKey("CFBundleIdentifier") == identifier;
}

std::vector<std::string> RecordFiles::receiptFilesOf(const std::string& identifier,
                                                     const std::string& volume) {
    if (identifier.empty() || identifier == "." || identifier == ".." ||
        identifier.find('/') != std::string::npos) {
        return {};
    }
    for (const char* folder : {"var/db/receipts", "System/Library/Receipts",
                               "Library/Apple/System/Library/Receipts", "Library/Receipts"}) {
        const std::string base = path::join(path::join(volume, folder), identifier);
        const std::optional<FileAttributes> receipt = FileManager::attributesOfItemAtPathCDA(base + ".plist");
        if (receipt && receipt->type == FileType::Regular) {
            std::vector<std::string> files = {base + ".plist"};
            if (FileManager::attributesOfItemAtPathCDA(base + ".bom")) {
                files.push_back(base + ".bom");
            }
            return files;
        }
    }
    return {};
}
