#include "catalogue/StoreSoftwareInformationManager.h"

#include "catalogue/PrinterDriverNames.h"
#include "catalogue/UnInstallInformation.h"
#include "platform/Base64.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/Path.h"
#include "platform/PropertyList.h"
#include "platform/SystemVersion.h"

#include <algorithm>

namespace {

constexpr const char* kPreferencesFolder = "/Library/Preferences/";
constexpr size_t kMaxInformationFileSize = 16u << 20;
constexpr const char* kAllGroups = "File Exist Code";
constexpr const char* kPageGroup = "Page Printer Driver";
constexpr const char* kFaxGroup = "PC-FAX Driver";
constexpr const char* kInkjetGroup = "Inkjet Printer Driver";

bool entryExists(const char* path) {
    return FileManager::attributesOfItemAtPathCDA(path).has_value();
}

const SoftwareUpdateGroup* findGroup(const SoftwareUpdateGroups& groups, const std::string& name) {
    auto found = std::find_if(groups.begin(), groups.end(),
                              [&](const SoftwareUpdateGroup& group) { return group.name == name; });
    return found == groups.end() ? nullptr : &*found;
}

} // namespace

std::optional<std::string> StoreSoftwareInformationManager::getApplicationName(const std::string& fileName) {
    static const std::string prefix = "com.torva.";
    static const std::string suffix = ".UnInstallList.plist";
    if (fileName.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    const std::string rest = fileName.substr(prefix.size());
    if (rest.size() < suffix.size() ||
        rest.compare(rest.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return std::nullopt;
    }
    return rest.substr(0, rest.size() - suffix.size());
}

std::optional<std::string>
StoreSoftwareInformationManager::decodeUnInstallPList(const std::optional<std::string>& name,
                                                      std::string* problem) {
    auto refuse = [problem](const char* why) -> std::optional<std::string> {
        if (problem != nullptr) {
            *problem = why;
        }
        return std::nullopt;
    };
    if (!name || name->empty() || name->find('/') != std::string::npos || *name == "." || *name == "..") {
        return refuse("is not a file name");
    }
    const std::string source = path::standardize(path::join(kPreferencesFolder, *name));
    const std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(source);
    if (!attributes) {
        return refuse("is missing");
    }
    if (attributes->type != FileType::Regular) {
        return refuse("is not a regular file");
    }
    // Decoded in memory: listing never writes into the system it looks at.
    const std::optional<std::string> text =
        FileManager::contentsAtPath(source, kMaxInformationFileSize, hostio::LastLink::Refuse);
    if (!text) {
        return refuse("cannot be read");
    }
    std::optional<std::string> decoded = base64::decode(*text);
    if (!decoded) {
        return refuse("is not Base64");
    }
    return decoded;
}

std::optional<std::string>
StoreSoftwareInformationManager::getApplicationVersionBundle(const std::optional<std::string>& bundlePath) {
    if (!bundlePath) {
        return std::nullopt;
    }
    if (std::optional<Bundle> bundle = Bundle::bundleAtSystemPath(*bundlePath)) {
        if (std::optional<PlistValue> info = bundle->infoDictionary()) {
            if (std::optional<std::string> version = info->stringForKey("CFBundleShortVersionString")) {
                return version;
            }
        }
    }
    return std::string("-");
}

std::optional<UnInstallInformation>
StoreSoftwareInformationManager::readUnInstallInformation(const std::string& name, std::string& problem) {
    const std::optional<std::string> decoded = decodeUnInstallPList(name, &problem);
    if (!decoded) {
        return std::nullopt;
    }
    const std::optional<PlistValue> root = PropertyList::parse(*decoded);
    if (!root) {
        problem = "does not decode to a property list";
        return std::nullopt;
    }
    if (!root->isDictionary() || root->asDictionary().empty()) {
        problem = "does not hold a dictionary of keys";
        return std::nullopt;
    }
    std::optional<UnInstallInformation> info = UnInstallInformation::fromPlist(*root);
    if (!info) {
        problem = "holds a value of the wrong type";
    }
    return info;
}

void StoreSoftwareInformationManager::reportSkippedFile(const std::string& name, const std::string& problem) {
    mWarnings.push_back(path::join(kPreferencesFolder, name) + " " + problem + "; it was passed over");
}

void StoreSoftwareInformationManager::appendRecords(SoftwareInformationRecord full, DisplayRecord display) {
    mSoftwareInformationArray.push_back(std::move(full));
    mSoftwareInformationForDisplayArray.push_back(std::move(display));
}

void StoreSoftwareInformationManager::storeFileRecords(const UnInstallInformation& info,
                                                       const std::string& name,
                                                       std::vector<PackageInfoEntry> packages,
                                                       const std::string& version, RecordSource source) {
    const std::string displayName = cmnFuncs.convertSoftwareName(info.applicationName.value_or(""));

    DisplayRecord display;
    display.unInstallFlag = false;
    display.applicationName = displayName;
    display.applicationVersion = version;
    // Sizes go by the name the file itself gives, which the information resource file lists too.
    display.installFileSize = getApplicationSize(
        packages, SoftwarePaths{info.applicationName, info.removePathList, info.restPathList});
    display.warnings = analyzePath.getMWarnings();
    display.localizedExplanationList = info.localizedExplanationList;
    gatheringAllSoftwareRestPathListDictionary(info.allSoftwareRestPathList);

    SoftwareInformationRecord full;
    full.applicationName = displayName;
    full.packageInfo = std::move(packages);
    full.removeDockItemList = info.removeDockItemList;
    full.removeLoginWindowsItemList = info.removeLoginWindowsItemList;
    full.removeLaunchAgentsItemList = info.removeLaunchAgentsItemList;
    full.removePathList = info.removePathList;
    full.restPathList = info.restPathList;
    full.customScript = info.customScript;
    full.unInstallFlag = false;
    full.encodePListPath = path::standardize(path::join(kPreferencesFolder, name));
    full.source = source;
    appendRecords(std::move(full), std::move(display));
}

bool StoreSoftwareInformationManager::storeSoftwareInformationForPackage(
    const std::vector<std::string>& names) {
    bool stored = false;
    for (const std::string& name : names) {
        std::string problem;
        const std::optional<UnInstallInformation> info = readUnInstallInformation(name, problem);
        if (!info || !info->packageInfo || !info->applicationName) {
            reportSkippedFile(name, !info                    ? problem
                                    : !info->applicationName ? "has no ApplicationName"
                                                             : "has no PackageInfo");
            continue;
        }
        std::string version = "-";
        if (info->applicationVersionBundle && info->applicationVersionString) {
            if (*info->applicationVersionBundle != "-") {
                version = getApplicationVersionBundle(info->applicationVersionBundle).value_or("-");
            } else {
                version = *info->applicationVersionString;
            }
        }
        storeFileRecords(*info, name, *info->packageInfo, version, RecordSource::UninstallFile);
        stored = true;
    }
    return stored;
}

std::optional<SoftwareUpdateGroups>
StoreSoftwareInformationManager::searchSoftwareUpdateAppName(const std::string& name) {
    const int32_t version = systemversion::OSVersion();
    if (version >= 100600) {
        searchManager.searchSoftwareUpdateReciepts(CommonFunctions::receiptsFolder(version));
    }
    const bool page = entryExists("/Library/Printers/TORVA/LaserPrinter");
    const bool fax = entryExists("/Library/Printers/TORVA/Fax");
    const bool inkjet = entryExists("/Library/Printers/TORVA/InkjetPrinter2");

    SoftwareUpdateGroup pageGroup{kPageGroup, {}, false};
    SoftwareUpdateGroup faxGroup{kFaxGroup, {}, false};
    SoftwareUpdateGroup inkjetGroup{kInkjetGroup, {}, false};
    // Each rule is tested on its own: one identifier may join two groups, or the inkjet group twice.
    for (const PackageInfoEntry& entry : searchManager.getMSoftwareUpdateBomArray()) {
        const std::string& identifier = entry.packageIdentifier;
        if (page && CommonFunctions::isIncludeCheckString(identifier, "PagePrinter")) {
            pageGroup.identifiers.push_back(identifier);
        }
        if (fax && CommonFunctions::isIncludeCheckString(identifier, "PCFax")) {
            faxGroup.identifiers.push_back(identifier);
        }
        if (inkjet && (CommonFunctions::isIncludeCheckString(identifier, "IJP") ||
                       CommonFunctions::isIncludeCheckString(identifier, "TORVA_Libraries") ||
                       CommonFunctions::isIncludeCheckString(identifier, "TORVA_DriverCommon"))) {
            inkjetGroup.identifiers.push_back(identifier);
        }
        if ((page || fax || inkjet) &&
            CommonFunctions::isIncludeCheckString(identifier, "TORVAPrinterDrivers")) {
            inkjetGroup.identifiers.push_back(identifier);
        }
    }

    SoftwareUpdateGroups groups;
    for (SoftwareUpdateGroup* group : {&pageGroup, &faxGroup, &inkjetGroup}) {
        if ((name == group->name || name == kAllGroups) && !group->identifiers.empty()) {
            groups.push_back(*group);
        }
    }
    if (name == kAllGroups && groups.empty()) {
        const std::pair<bool, const char*> folders[] = {
            {page, kPageGroup}, {fax, kFaxGroup}, {inkjet, kInkjetGroup}};
        for (const auto& [exists, groupName] : folders) {
            if (exists) {
                groups.push_back({groupName, {}, /*folderOnly=*/true});
            }
        }
    }
    if (groups.empty()) {
        return std::nullopt;
    }
    return groups;
}

bool StoreSoftwareInformationManager::storeSoftwareInformationForSoftwareUpdate(
    const std::optional<SoftwareUpdateGroups>& groups) {
    if (!groups) {
        return false;
    }
    const int32_t version = systemversion::OSVersion();
    for (const SoftwareUpdateGroup& group : *groups) {
        if (group.name.empty()) {
            continue;
        }
        if (!searchManager.searchSoftwareUpdateReciepts(CommonFunctions::receiptsFolder(version))) {
            continue;
        }
        std::vector<PackageInfoEntry> packages;
        if (const std::optional<SoftwareUpdateGroups> found = searchSoftwareUpdateAppName(group.name)) {
            if (const SoftwareUpdateGroup* current = findGroup(*found, group.name)) {
                for (const std::string& identifier : current->identifiers) {
                    packages.push_back(PackageInfoEntry::fromReceipt(identifier));
                }
            }
        }
        SoftwareInformationRecord full;
        full.applicationName = cmnFuncs.convertSoftwareName(group.name);
        full.packageInfo = packages;
        full.removeDockItemList = std::vector<std::string>();
        full.removeLoginWindowsItemList = std::vector<std::string>();
        full.removeLaunchAgentsItemList = std::vector<std::string>();
        full.removePathList = std::vector<std::string>();
        full.restPathList = std::vector<std::string>();
        full.customScript = CustomScript{std::vector<std::string>(), std::vector<std::string>()};
        full.encodePListPath = "";
        full.source = RecordSource::Receipts;

        DisplayRecord display;
        display.applicationName = full.applicationName;
        display.installFileSize = getApplicationSize(
            packages, SoftwarePaths{full.applicationName, full.removePathList, full.restPathList});
        display.warnings = analyzePath.getMWarnings();
        display.applicationVersion = "-";
        appendRecords(std::move(full), std::move(display));
    }
    return true;
}

bool StoreSoftwareInformationManager::storeSoftwareInformationForIntermixed(
    const std::vector<std::string>& names) {
    bool stored = false;
    for (const std::string& name : names) {
        std::string problem;
        const std::optional<UnInstallInformation> info = readUnInstallInformation(name, problem);
        if (!info || !info->applicationName) {
            reportSkippedFile(name, info ? "has no ApplicationName" : problem);
            continue;
        }
        std::vector<PackageInfoEntry> packages;
        if (systemversion::OSVersion() > 100599) {
            if (const std::optional<SoftwareUpdateGroups> found =
                    searchSoftwareUpdateAppName(*info->applicationName)) {
                if (const SoftwareUpdateGroup* group = findGroup(*found, *info->applicationName)) {
                    for (const std::string& identifier : group->identifiers) {
                        packages.push_back(PackageInfoEntry::fromReceipt(identifier));
                    }
                }
            }
        }
        if (info->packageInfo) {
            packages.insert(packages.end(), info->packageInfo->begin(), info->packageInfo->end());
        }
        storeFileRecords(*info, name, std::move(packages), "-", RecordSource::Merged);
        stored = true;
    }
    return stored;
}

int64_t StoreSoftwareInformationManager::getApplicationSize(
    const std::optional<std::vector<PackageInfoEntry>>& packages, const SoftwarePaths& software) {
    if (!packages) {
        return 0;
    }
    // Without the kept paths of all software: the size is what this software installed.
    analyzePath.buildRemovalLists(*packages, software, /*allSoftwareRestPaths=*/std::nullopt);
    return static_cast<int64_t>(analyzePath.totalFileSize());
}

void StoreSoftwareInformationManager::gatheringAllSoftwareRestPathListDictionary(
    const std::optional<std::vector<std::string>>& paths) {
    if (paths) {
        CommonFunctions::mergeArrayToDictionary(*paths, mAllSoftwareRestPathListDictionary);
    }
}

std::vector<std::string> StoreSoftwareInformationManager::getMergedAllSoftwareRestPathList() const {
    return {mAllSoftwareRestPathListDictionary.begin(), mAllSoftwareRestPathListDictionary.end()};
}

bool StoreSoftwareInformationManager::storeSoftwareInformation(const std::vector<std::string>& names) {
    SoftwareUpdateGroups working = searchSoftwareUpdateAppName(kAllGroups).value_or(SoftwareUpdateGroups());
    const int32_t version = systemversion::OSVersion();
    bool result = false;
    for (const std::string& name : names) {
        const std::optional<std::string> softwareName = getApplicationName(name);
        if (!softwareName) {
            continue;
        }
        // On exactly 10.6.0 every file is read alone.
        bool stored = false;
        if (findGroup(working, *softwareName) == nullptr || version <= 100600) {
            stored = storeSoftwareInformationForPackage({name});
        } else {
            stored = storeSoftwareInformationForIntermixed({name});
        }
        // A group covered by a file is not stored again from its receipts, even when the file gave no
        // record; a file that gave none was reported and does not hide the files after it.
        std::erase_if(working, [&](const SoftwareUpdateGroup& group) { return group.name == *softwareName; });
        result = result || stored;
    }
    if (!working.empty()) {
        result = storeSoftwareInformationForSoftwareUpdate(working) || result;
    }
    groupDisplayRecords();
    return result;
}

void StoreSoftwareInformationManager::groupDisplayRecords() {
    std::vector<DisplayRecord> records = std::move(mSoftwareInformationForDisplayArray);
    mSoftwareInformationForDisplayArray.clear();
    std::optional<size_t> driverRow;
    int64_t driverTotal = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        DisplayRecord& record = records[i];
        const auto index = static_cast<int32_t>(i);
        if (!printerdrivernames::isPrinterDriver(record.applicationName)) {
            record.softInfoMap = {index};
            mSoftwareInformationForDisplayArray.push_back(std::move(record));
        } else if (!driverRow) {
            driverTotal += record.installFileSize;
            record.applicationName = std::string(printerdrivernames::kRowName);
            record.softInfoMap = {index};
            driverRow = mSoftwareInformationForDisplayArray.size();
            mSoftwareInformationForDisplayArray.push_back(std::move(record));
        } else {
            driverTotal += record.installFileSize;
            DisplayRecord& row = mSoftwareInformationForDisplayArray[*driverRow];
            row.softInfoMap.push_back(index);
            row.warnings.insert(row.warnings.end(), record.warnings.begin(), record.warnings.end());
        }
    }
    if (driverRow) {
        mSoftwareInformationForDisplayArray[*driverRow].installFileSize = driverTotal;
    }
}
