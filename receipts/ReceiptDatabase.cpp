#include "receipts/ReceiptDatabase.h"

#include "platform/FileManager.h"
#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"

#include <set>

namespace {

constexpr const char* kReceiptFolders[] = {
    "/var/db/receipts",
    "/System/Library/Receipts",
    "/Library/Apple/System/Library/Receipts",
    "/Library/Receipts",
};

constexpr std::string_view kPlistSuffix = ".plist";

// Library/Receipts also holds InstallHistory.plist and bundle receipts; only a dictionary in a regular
// file is a receipt.
std::optional<PlistValue> readReceipt(const std::string& path) {
    const std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(path);
    if (!attributes || attributes->type != FileType::Regular) {
        return std::nullopt;
    }
    return PropertyList::readDictionary(path);
}

} // namespace

std::optional<ReceiptDatabase> ReceiptDatabase::open(const std::string& hostVolume) {
    if (!SystemRoot::set(hostVolume)) {
        return std::nullopt;
    }
    return ReceiptDatabase();
}

std::optional<ReceiptDatabase::Receipt> ReceiptDatabase::find(const std::string& identifier) const {
    if (identifier.empty() || identifier.find('/') != std::string::npos || identifier == "." ||
        identifier == "..") {
        return std::nullopt;
    }
    for (const char* folder : kReceiptFolders) {
        Receipt receipt{identifier, folder, {}};
        if (std::optional<PlistValue> info = readReceipt(receipt.plistPath())) {
            receipt.info = std::move(*info);
            return receipt;
        }
    }
    return std::nullopt;
}

std::vector<std::string> ReceiptDatabase::identifiers() const {
    std::vector<std::string> result;
    std::set<std::string> seen;
    for (const char* folder : kReceiptFolders) {
        const std::optional<std::vector<std::string>> names =
            FileManager::contentsOfDirectoryAtPathCDA(folder);
        for (const std::string& name : names.value_or(std::vector<std::string>())) {
            if (name.size() <= kPlistSuffix.size() || !name.ends_with(kPlistSuffix) ||
                !readReceipt(std::string(folder) + "/" + name)) {
                continue;
            }
            std::string identifier = name.substr(0, name.size() - kPlistSuffix.size());
            if (seen.insert(identifier).second) {
                result.push_back(std::move(identifier));
            }
        }
    }
    return result;
}
