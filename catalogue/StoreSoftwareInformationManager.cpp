#include "catalogue/StoreSoftwareInformationManager.h"

#include "catalogue/UnInstallInformation.h"
#include "platform/Bundle.h"
#include "platform/CTaskController.h"
#include "platform/FileManager.h"
#include "platform/Path.h"
#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"
#include "platform/SystemVersion.h"

#include <algorithm>

namespace {

constexpr const char* kPreferencesFolder = "/Library/Preferences/";
constexpr const char* kAllGroups = "File Exist Code";
constexpr const char* kPageGroup = "Page Printer Driver";
constexpr const char* kFaxGroup = "PC-FAX Driver";
constexpr const char* kInkjetGroup = "Inkjet Printer Driver";

bool entryExists(const char* path) {
    return FileManager::attributesOfItemAtPathCDA(path).has_value();
}

bool isPrinterDriver(const std::string& name) {
    return name == "Inkjet Printer Driver" || name == "Page Printer Driver & PS Driver";
}

const SoftwareUpdateGroup* findGroup(const SoftwareUpdateGroups& groups, const std::string& name) {
    auto found = std::find_if(groups.begin(), groups.end(),
                              [&](const SoftwareUpdateGroup& group) { return group.name == name; });
    return found == groups.end() ? nullptr : &*found;
}

// Deletes the decoded copy of an uninstall information file however its reading ends.
class DecodedCopy {
public:
    DecodedCopy(StoreSoftwareInformationManager& store, std::optional<std::string> path)
        : mStore(store), mPath(std::move(path)) {}
    ~DecodedCopy() { mStore.removeDecodeUnInstallPList(mPath); }
    DecodedCopy(const DecodedCopy&) = delete;
    DecodedCopy& operator=(const DecodedCopy&) = delete;
    const std::optional<std::string>& path() const { return mPath; }

private:
    StoreSoftwareInformationManager& mStore;
    std::optional<std::string> mPath;
};

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
StoreSoftwareInformationManager::decodeUnInstallPList(const std::optional<std::string>& name) {
    if (!name || name->empty() || name->find('/') != std::string::npos || *name == "." || *name == "..") {
        return std::nullopt;
    }
    const std::string source = path::standardize(path::join(kPreferencesFolder, *name));
    const std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(source);
    if (!attributes || attributes->type != FileType::Regular || !FileManager::isReadableFileAtPath(source)) {
        return std::nullopt;
    }
    const std::string target = path::standardize(path::join(kPreferencesFolder, "decode." + *name));
    // Whatever stands at the target (a stale copy, a link planted there) goes; the copy is a new file.
    FileManager::removeItemAtPathCDA(target);
    if (!FileManager::createFileExclusively(target)) {
        return std::nullopt;
    }
    CTaskController::initTaskController().exeCommandLine(
        "/usr/bin/openssl",
        {"base64", "-d", "-in", SystemRoot::hostPath(source), "-out", SystemRoot::hostPath(target)}, nullptr);
    return target;
}

void StoreSoftwareInformationManager::removeDecodeUnInstallPList(const std::optional<std::string>& path) {
    if (path) {
        FileManager::removeItemAtPathCDA(*path);
    }
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
StoreSoftwareInformationManager::readUnInstallInformation(const std::string& name) {
    const DecodedCopy decoded(*this, decodeUnInstallPList(name));
    if (!decoded.path()) {
        return std::nullopt;
    }
    const std::optional<PlistValue> root = PropertyList::readDictionary(*decoded.path());
    if (!root || root->asDictionary().empty()) {
        return std::nullopt;
    }
    return UnInstallInformation::fromPlist(*root);
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
        const std::optional<UnInstallInformation> info = readUnInstallInformation(name);
        if (!info || !info->packageInfo || !info->applicationName) {
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
        display.applicationVersion = "-";
        appendRecords(std::move(full), std::move(display));
    }
    return true;
}

bool StoreSoftwareInformationManager::storeSoftwareInformationForIntermixed(
    const std::vector<std::string>& names) {
    bool stored = false;
    for (const std::string& name : names) {
        const std::optional<UnInstallInformation> info = readUnInstallInformation(name);
        if (!info || !info->applicationName) {
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
    const int32_t version = systemversion::OSVersion();
    analyzePath.removeMUnInstallAllObjectArrayPath(PathKind::File);
    analyzePath.removeMUnInstallAllObjectArrayPath(PathKind::Folder);
    analyzePath.removeMUnInstallAllObjectArrayPath(PathKind::Link);
    for (const PackageInfoEntry& entry : *packages) {
        std::string bomPath;
        const std::optional<std::string> installPoint = cmnFuncs.lookupReceipt(entry, version, bomPath);
        if (installPoint && FileManager::fileExistsAtPath(bomPath)) {
            analyzePath.getUnInstallPath(bomPath, installPoint, std::string("/"));
        }
    }
    return getPackageSize(software);
}

int64_t StoreSoftwareInformationManager::getPackageSize(const SoftwarePaths& software) {
    analyzePath.mergeExtenstionPath(software);
    int64_t total = 0;
    for (const std::string& file : analyzePath.getMUnInstallFilePathArray()) {
        if (const std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(file)) {
            total += static_cast<int64_t>(attributes->size);
        }
    }
    return total;
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
        if (findGroup(working, *softwareName) == nullptr || version <= 100600) {
            result = storeSoftwareInformationForPackage({name});
        } else {
            result = storeSoftwareInformationForIntermixed({name});
        }
        // A group covered by a file is not stored again from its receipts.
        std::erase_if(working, [&](const SoftwareUpdateGroup& group) { return group.name == *softwareName; });
        if (!result) {
            break;
        }
    }
    if (!working.empty()) {
        result = storeSoftwareInformationForSoftwareUpdate(working);
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
        if (!isPrinterDriver(record.applicationName)) {
            record.softInfoMap = {index};
            mSoftwareInformationForDisplayArray.push_back(std::move(record));
        } else if (!driverRow) {
            driverTotal += record.installFileSize;
            record.applicationName = "Printer Driver";
            record.softInfoMap = {index};
            driverRow = mSoftwareInformationForDisplayArray.size();
            mSoftwareInformationForDisplayArray.push_back(std::move(record));
        } else {
            driverTotal += record.installFileSize;
            mSoftwareInformationForDisplayArray[*driverRow].softInfoMap.push_back(index);
        }
    }
    if (driverRow) {
        mSoftwareInformationForDisplayArray[*driverRow].installFileSize = driverTotal;
    }
}
