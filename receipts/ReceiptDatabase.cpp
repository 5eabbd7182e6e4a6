#include "receipts/ReceiptDatabase.h"

#include "platform/FileManager.h"
#include "platform/Path.h"
#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"

#include <cmath>
#include <set>

namespace {

constexpr const char* kReceiptFolders[] = {
    "/var/db/receipts",
    "/System/Library/Receipts",
    "/Library/Apple/System/Library/Receipts",
    "/Library/Receipts",
};

constexpr std::string_view kPlistSuffix = ".plist";
// A receipt is a few kilobytes; old ones with a checksum of every path a few megabytes.
constexpr size_t kMaxReceiptSize = size_t{64} << 20;

// Property-list dates count from 2001-01-01; install times from 1970.
constexpr double kAppleEpochOffset = 978307200;

// Library/Receipts also holds InstallHistory.plist and bundle receipts: only a dictionary in a regular
// file (not a link to one) is a receipt.
std::optional<ReceiptDatabase::Receipt> readReceipt(const std::string& identifier,
                                                    const std::string& folder) {
    const std::optional<std::string> bytes = FileManager::contentsAtPath(
        folder + "/" + identifier + std::string(kPlistSuffix), kMaxReceiptSize, hostio::LastLink::Refuse);
    if (!bytes) {
        return std::nullopt;
    }
    return ReceiptDatabase::parse(identifier, folder, *bytes);
}

} // namespace

std::optional<ReceiptDatabase> ReceiptDatabase::open(const std::string& hostVolume) {
    if (!SystemRoot::set(hostVolume)) {
        return std::nullopt;
    }
    return ReceiptDatabase("/");
}

std::string ReceiptDatabase::Receipt::packageIdentifier() const {
    return info.stringForKey("PackageIdentifier").value_or(identifier);
}

std::string ReceiptDatabase::Receipt::version() const {
    return info.stringForKey("PackageVersion").value_or("");
}

std::string ReceiptDatabase::Receipt::installPrefixPath() const {
    return info.stringForKey("InstallPrefixPath").value_or("");
}

int64_t ReceiptDatabase::Receipt::installTime() const {
    const PlistValue* date = info.find("InstallDate");
    if (date == nullptr || date->type() != PlistValue::Type::Date) {
        return 0;
    }
    const double seconds = std::floor(date->asDate()) + kAppleEpochOffset;
    // A date no clock can show is no install time.
    if (!(seconds > -1e18 && seconds < 1e18)) {
        return 0;
    }
    return static_cast<int64_t>(seconds);
}

std::vector<std::string> ReceiptDatabase::Receipt::groups() const {
    const PlistValue* groups = info.find("PackageGroups");
    return groups == nullptr ? std::vector<std::string>()
                             : groups->asStringArray().value_or(std::vector<std::string>());
}

std::optional<ReceiptDatabase::Receipt>
ReceiptDatabase::parse(const std::string& identifier, const std::string& folder, std::string_view bytes) {
    std::optional<PlistValue> info = PropertyList::parse(bytes);
    if (!info || !info->isDictionary()) {
        return std::nullopt;
    }
    return Receipt{identifier, folder, std::move(*info)};
}

std::vector<std::string> ReceiptDatabase::folders() const {
    std::vector<std::string> folders;
    for (const char* folder : kReceiptFolders) {
        folders.push_back(mVolume == "/" ? std::string(folder)
                                         : path::standardize(path::join(mVolume, folder)));
    }
    return folders;
}

std::optional<ReceiptDatabase::Receipt> ReceiptDatabase::find(const std::string& identifier) const {
    if (identifier.empty() || identifier.find('/') != std::string::npos ||
        identifier.find('\0') != std::string::npos || identifier == "." || identifier == "..") {
        return std::nullopt;
    }
    for (const std::string& folder : folders()) {
        if (std::optional<Receipt> receipt = readReceipt(identifier, folder)) {
            return receipt;
        }
    }
    return std::nullopt;
}

std::vector<std::string> ReceiptDatabase::identifiers() const {
    std::vector<std::string> result;
    std::set<std::string> seen;
    for (const std::string& folder : folders()) {
        const std::optional<std::vector<std::string>> names =
            FileManager::contentsOfDirectoryAtPathCDA(folder);
        for (const std::string& name : names.value_or(std::vector<std::string>())) {
            if (name.size() <= kPlistSuffix.size() || !name.ends_with(kPlistSuffix)) {
                continue;
            }
            std::string identifier = name.substr(0, name.size() - kPlistSuffix.size());
            if (!seen.contains(identifier) && readReceipt(identifier, folder)) {
                seen.insert(identifier);
                result.push_back(std::move(identifier));
            }
        }
    }
    return result;
}
