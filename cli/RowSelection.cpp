#include "cli/RowSelection.h"

#include "catalogue/StoreSoftwareInformationManager.h"

#include <algorithm>
#include <ostream>

std::vector<std::string> RowSelection::rowNames(const StoreSoftwareInformationManager& store) {
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
    const std::vector<std::string> known = rowNames(store);
    for (const std::string& name : names) {
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            result.unknown.push_back(name);
        }
    }
    if (!result.unknown.empty()) {
        return result;
    }
    for (DisplayRecord& row : rows) {
        if (all || std::find(names.begin(), names.end(), row.applicationName) != names.end()) {
            row.unInstallFlag = true;
        }
    }
    RowTicks::markRecords(rows, store.getMSoftwareInformationArray());
    result.taken = RowTicks::takenRows(rows, store.getMSoftwareInformationArray());
    for (const RowTicks::Taken& entry : result.taken) {
        if (entry.ticked) {
            result.ticked.push_back(rows[entry.row].applicationName);
        } else {
            result.forced.push_back(rows[entry.row].applicationName);
            if (result.forcedBy.empty() && entry.forcedBy) {
                result.forcedBy = rows[*entry.forcedBy].applicationName;
            }
        }
    }
    return result;
}

namespace {

std::string unknownText(const std::string& name) {
    return "no row is called \"" + name + "\"";
}

} // namespace

std::string RowSelection::unknownReason(const Result& result) {
    std::string reason;
    for (const std::string& name : result.unknown) {
        reason += (reason.empty() ? "" : "; ") + unknownText(name);
    }
    return reason;
}

RowSelection::Result RowSelection::select(StoreSoftwareInformationManager& store,
                                          const std::vector<std::string>& names, bool all, std::ostream& err,
                                          Notice notice) {
    Result result = tick(store, names, all);
    if (!result.unknown.empty()) {
        for (const std::string& name : result.unknown) {
            err << "uninstaller-cli: " << unknownText(name) << "\n";
        }
        err << "The rows are:\n";
        for (const std::string& name : rowNames(store)) {
            err << "  " << name << "\n";
        }
        return result;
    }
    if (!result.forced.empty() && notice == Notice::Print) {
        err << "Also removing ";
        for (size_t i = 0; i < result.forced.size(); ++i) {
            err << (i == 0 ? "" : ", ") << result.forced[i];
        }
        err << ": " << result.forcedBy
            << " holds the printer drivers from Software Update, and the other drivers go with them.\n";
    }
    return result;
}
