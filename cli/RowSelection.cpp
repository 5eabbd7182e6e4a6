#include "cli/RowSelection.h"

#include "catalogue/StoreSoftwareInformationManager.h"
#include "common/CommonFunctions.h"

#include <algorithm>
#include <ostream>

namespace {

// A row whose first record holds the maker's printer drivers from Software Update.
bool isAppleTRSU(const SoftwareInformationRecord& record) {
    return std::any_of(
        record.packageInfo.begin(), record.packageInfo.end(), [](const PackageInfoEntry& entry) {
            return CommonFunctions::isIncludeCheckString(entry.packageIdentifier, "TORVAPrinterDrivers");
        });
}

bool isOtherDriver(const DisplayRecord& row) {
    return CommonFunctions::isIncludeCheckString(row.applicationName, "Page Printer Driver") ||
           CommonFunctions::isIncludeCheckString(row.applicationName, "PC-FAX Driver");
}

void markRecords(const DisplayRecord& row, std::vector<SoftwareInformationRecord>& records) {
    for (const int32_t index : row.softInfoMap) {
        if (index >= 0 && static_cast<size_t>(index) < records.size()) {
            records[static_cast<size_t>(index)].unInstallFlag = true;
        }
    }
}

} // namespace

std::vector<std::string> RowSelection::rowNames(StoreSoftwareInformationManager& store) {
    std::vector<std::string> names;
    for (const DisplayRecord& row : store.getMSoftwareInformationForDisplayArray()) {
        names.push_back(row.applicationName);
    }
    return names;
}

RowSelection::Result RowSelection::tick(StoreSoftwareInformationManager& store,
                                        const std::vector<std::string>& names, bool all) {
    Result result;
    std::vector<DisplayRecord>& rows = store.getMSoftwareInformationForDisplayArray();
    std::vector<SoftwareInformationRecord>& records = store.getMSoftwareInformationArray();
    const std::vector<std::string> known = rowNames(store);
    for (const std::string& name : names) {
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            result.unknown.push_back(name);
        }
    }
    if (!result.unknown.empty()) {
        return result;
    }
    bool softwareUpdateDrivers = false;
    for (DisplayRecord& row : rows) {
        if (!all && std::find(names.begin(), names.end(), row.applicationName) == names.end()) {
            continue;
        }
        row.unInstallFlag = true;
        markRecords(row, records);
        result.ticked.push_back(row.applicationName);
        const bool trsu = !row.softInfoMap.empty() && row.softInfoMap.front() >= 0 &&
                          static_cast<size_t>(row.softInfoMap.front()) < records.size() &&
                          isAppleTRSU(records[static_cast<size_t>(row.softInfoMap.front())]);
        if (trsu && !softwareUpdateDrivers) {
            softwareUpdateDrivers = true;
            result.forcedBy = row.applicationName;
        }
    }
    if (softwareUpdateDrivers) {
        for (DisplayRecord& row : rows) {
            if (isOtherDriver(row) && !row.isMarkedForUninstall()) {
                // As in the window, the row's records are marked while its own tick stays as it was.
                markRecords(row, records);
                result.forced.push_back(row.applicationName);
            }
        }
    }
    return result;
}

std::optional<RowSelection::Result> RowSelection::select(StoreSoftwareInformationManager& store,
                                                         const std::vector<std::string>& names, bool all,
                                                         std::ostream& err) {
    Result result = tick(store, names, all);
    if (!result.unknown.empty()) {
        for (const std::string& name : result.unknown) {
            err << "uninstaller-cli: no row is called \"" << name << "\"\n";
        }
        err << "The rows are:\n";
        for (const std::string& name : rowNames(store)) {
            err << "  " << name << "\n";
        }
        return std::nullopt;
    }
    if (!result.forced.empty()) {
        err << "Also removing ";
        for (size_t i = 0; i < result.forced.size(); ++i) {
            err << (i == 0 ? "" : ", ") << result.forced[i];
        }
        err << ": " << result.forcedBy
            << " holds the printer drivers from Software Update, and the other drivers go with them, as in "
               "the window.\n";
    }
    return result;
}
