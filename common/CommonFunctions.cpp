#include "common/CommonFunctions.h"

#include "receipts/ReceiptDatabase.h"

#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/Path.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kSoftwareUpdatePrefix = "com.apple.pkg.TORVA";

// A receipt identifier or package name becomes part of a file path: one that is not a plain file name
// would name a BOM file somewhere else.
bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

const std::optional<PlistValue>& CommonFunctions::getCorvaneInfoRootDict() const {
    if (!mCorvaneInfo) {
        std::optional<PlistValue> root;
        if (std::optional<Bundle> bundle = Bundle::mainBundle()) {
            root = PropertyList::readHostFile(
                path::standardize(path::join(bundle->resourcePath(), "CorvaneInformaiton.plist")));
        }
        if (root && !root->isDictionary()) {
            root.reset();
        }
        mCorvaneInfo = std::move(root);
    }
    return *mCorvaneInfo;
}

const std::optional<PlistValue>& CommonFunctions::getMainBundleInfoDict() const {
    if (!mMainBundleInfo) {
        std::optional<Bundle> bundle = Bundle::mainBundle();
        mMainBundleInfo = bundle ? bundle->infoDictionary() : std::nullopt;
    }
    return *mMainBundleInfo;
}

bool CommonFunctions::isEqualStringCompare(std::optional<std::string_view> a, std::string_view b) {
    return !a || *a == b;
}

bool CommonFunctions::isIncludeCheckString(std::optional<std::string_view> s, std::string_view t) {
    if (!s) {
        return true;
    }
    auto found = std::search(s->begin(), s->end(), t.begin(), t.end(),
                             [](char x, char y) { return lower(x) == lower(y); });
    return found != s->end() || t.empty();
}

bool CommonFunctions::isIncludeFolderPathArray(const std::vector<std::string>& folders,
                                               std::optional<std::string_view> path) {
    if (folders.empty() || !path) {
        return false;
    }
    const std::string key = path::comparisonKey(*path);
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
        return path::isInFolder(key, path::comparisonKey(folder));
    });
}

std::string CommonFunctions::convertSoftwareName(const std::string& name) const {
    const std::optional<PlistValue>& info = getMainBundleInfoDict();
    if (!info) {
        return name;
    }
    const PlistValue* renames = info->find("EXReNameList");
    if (renames == nullptr) {
        return name;
    }
    std::optional<std::string> renamed = renames->stringForKey(name);
    return renamed ? *renamed : name;
}

std::optional<std::string> CommonFunctions::getInstallPoint(const std::string& identifier,
                                                            const std::string& volume) {
    if (identifier.empty() || volume.empty()) {
        return std::nullopt;
    }
    const std::optional<ReceiptDatabase::Receipt> receipt =
        ReceiptDatabase::atVolume(volume).find(identifier);
    return receipt ? std::optional<std::string>(receipt->installPrefixPath()) : std::nullopt;
}

std::string CommonFunctions::receiptsFolder(int32_t osVersion) {
    if (osVersion >= 101500) {
        return "/Library/Apple/System/Library/Receipts/";
    }
    if (osVersion >= 101100) {
        return "/System/Library/Receipts/";
    }
    return "/var/db/receipts/";
}

std::string CommonFunctions::makeBomPath(const std::string& name, const std::string& folder) {
    return path::standardize(path::join(folder, name));
}

namespace {

std::optional<std::string> lookupInFolder(const CommonFunctions& functions, const PackageInfoEntry& entry,
                                          const char* folder, std::string& bomPath) {
    if (!isPlainFileName(entry.packageIdentifier)) {
        return std::nullopt;
    }
    bomPath = CommonFunctions::makeBomPath(entry.packageIdentifier + ".bom", folder);
    if (!FileManager::fileExistsAtPath(bomPath)) {
        return std::nullopt;
    }
    return functions.getInstallPoint(entry.packageIdentifier, "/");
}

} // namespace

std::optional<std::string> CommonFunctions::getRelocatedPathFor106(const PackageInfoEntry& entry,
                                                                   std::string& bomPath) const {
    return lookupInFolder(*this, entry, "/var/db/receipts/", bomPath);
}

std::optional<std::string> CommonFunctions::getRelocatedPathFor1011ASU(const PackageInfoEntry& entry,
                                                                       std::string& bomPath) const {
    return lookupInFolder(*this, entry, "/System/Library/Receipts/", bomPath);
}

std::optional<std::string> CommonFunctions::getRelocatedPathFor1015ASU(const PackageInfoEntry& entry,
                                                                       std::string& bomPath) const {
    return lookupInFolder(*this, entry, "/Library/Apple/System/Library/Receipts/", bomPath);
}

std::optional<std::string> CommonFunctions::getRelocatedPathFor103Between105(const PackageInfoEntry& entry,
                                                                             std::string& bomPath) const {
    if (entry.packageType != "Bundle") {
        return lookupInFolder(*this, entry, "/Library/Receipts/boms/", bomPath);
    }
    if (!isPlainFileName(entry.packageName)) {
        return std::nullopt;
    }
    const std::string bom =
        path::standardize(path::join("/Library/Receipts/", entry.packageName + "/Contents/Archive.bom"));
    if (!FileManager::fileExistsAtPath(bom)) {
        return std::nullopt;
    }
    bomPath = bom;
    std::optional<Bundle> receipt =
        Bundle::bundleAtSystemPath(path::standardize(path::join("/Library/Receipts/", entry.packageName)));
    if (!receipt) {
        return std::nullopt;
    }
    std::optional<PlistValue> info = receipt->infoDictionary();
    if (!info) {
        return std::string("/");
    }
    if (std::optional<std::string> relocated = info->stringForKey("IFPkgRelocatedPath")) {
        return relocated;
    }
    if (std::optional<std::string> location = info->stringForKey("IFPkgReceiptLocation")) {
        return location;
    }
    return std::string("/");
}

std::optional<std::string> CommonFunctions::lookupReceipt(const PackageInfoEntry& entry, int32_t osVersion,
                                                          std::string& bomPath) const {
    if (osVersion >= 100600) {
        // The maker's own packages are in the receipt database whatever the version; Software Update
        // packages in the folder of the version.
        const bool softwareUpdate = entry.packageIdentifier.find(kSoftwareUpdatePrefix) != std::string::npos;
        std::optional<std::string> installPoint;
        if (softwareUpdate && osVersion > 101499) {
            installPoint = getRelocatedPathFor1015ASU(entry, bomPath);
        } else if (softwareUpdate && osVersion > 101099) {
            installPoint = getRelocatedPathFor1011ASU(entry, bomPath);
        } else {
            installPoint = getRelocatedPathFor106(entry, bomPath);
        }
        if (installPoint) {
            return installPoint;
        }
        return getRelocatedPathFor103Between105(entry, bomPath);
    }
    if (osVersion >= 100300) {
        return getRelocatedPathFor103Between105(entry, bomPath);
    }
    return std::nullopt;
}

void CommonFunctions::mergeArrayToDictionary(const std::vector<std::string>& array, StringSet& set) {
    set.insert(array.begin(), array.end());
}
