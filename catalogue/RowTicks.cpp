#include "catalogue/RowTicks.h"

#include "common/CommonFunctions.h"

#include <algorithm>

namespace {

bool holdsSoftwareUpdateDrivers(const SoftwareInformationRecord& record) {
    return std::any_of(
        record.packageInfo.begin(), record.packageInfo.end(), [](const PackageInfoEntry& entry) {
            return CommonFunctions::isIncludeCheckString(entry.packageIdentifier, "TORVAPrinterDrivers");
        });
}

const SoftwareInformationRecord* recordAt(int32_t index,
                                          const std::vector<SoftwareInformationRecord>& records) {
    return index >= 0 && static_cast<size_t>(index) < records.size() ? &records[static_cast<size_t>(index)]
                                                                     : nullptr;
}

} // namespace

bool RowTicks::isSoftwareUpdateRow(const DisplayRecord& row,
                                   const std::vector<SoftwareInformationRecord>& records) {
    // Any record counts: the drivers known only from their receipts need not be the row's first record.
    return std::any_of(row.softInfoMap.begin(), row.softInfoMap.end(), [&](int32_t index) {
        const SoftwareInformationRecord* record = recordAt(index, records);
        return record != nullptr && holdsSoftwareUpdateDrivers(*record);
    });
}

bool RowTicks::isOtherDriver(const DisplayRecord& row) {
    return CommonFunctions::isIncludeCheckString(row.applicationName, "Page Printer Driver") ||
           CommonFunctions::isIncludeCheckString(row.applicationName, "PC-FAX Driver");
}

std::optional<size_t> RowTicks::forcingRow(const std::vector<DisplayRecord>& rows,
                                           const std::vector<SoftwareInformationRecord>& records) {
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].isMarkedForUninstall() && isSoftwareUpdateRow(rows[row], records)) {
            return row;
        }
    }
    return std::nullopt;
}

std::optional<size_t> RowTicks::forcedBy(size_t row, const std::vector<DisplayRecord>& rows,
                                         const std::vector<SoftwareInformationRecord>& records) {
    if (row >= rows.size() || !isOtherDriver(rows[row])) {
        return std::nullopt;
    }
    for (size_t other = 0; other < rows.size(); ++other) {
        if (other != row && rows[other].isMarkedForUninstall() && isSoftwareUpdateRow(rows[other], records)) {
            return other;
        }
    }
    return std::nullopt;
}

std::vector<RowTicks::Taken> RowTicks::takenRows(const std::vector<DisplayRecord>& rows,
                                                 const std::vector<SoftwareInformationRecord>& records) {
    std::vector<Taken> taken;
    for (size_t row = 0; row < rows.size(); ++row) {
        const Taken entry{row, rows[row].isMarkedForUninstall(), forcedBy(row, rows, records)};
        if (entry.ticked || entry.forcedBy) {
            taken.push_back(entry);
        }
    }
    return taken;
}

void RowTicks::markRecords(const std::vector<DisplayRecord>& rows,
                           std::vector<SoftwareInformationRecord>& records) {
    std::vector<bool> marked(records.size(), false);
    for (const Taken& entry : takenRows(rows, records)) {
        for (const int32_t index : rows[entry.row].softInfoMap) {
            if (recordAt(index, records) != nullptr) {
                marked[static_cast<size_t>(index)] = true;
            }
        }
    }
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].unInstallFlag = marked[i];
    }
}
