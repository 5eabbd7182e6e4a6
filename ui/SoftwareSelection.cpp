#include "ui/SoftwareSelection.h"

#include "catalogue/DisplayRecord.h"
#include "catalogue/SoftwareInformationRecord.h"
#include "common/CommonFunctions.h"
#include "platform/Localization.h"

SoftwareSelection::SoftwareSelection(std::vector<SoftwareInformationRecord>& records,
                                     std::vector<DisplayRecord>& rows)
    : mRecords(records), mRows(rows) {}

std::vector<SoftwareInformationRecord*> SoftwareSelection::recordsOf(size_t row) const {
    std::vector<SoftwareInformationRecord*> records;
    if (row >= mRows.size()) {
        return records;
    }
    for (const int32_t index : mRows[row].softInfoMap) {
        if (index >= 0 && static_cast<size_t>(index) < mRecords.size()) {
            records.push_back(&mRecords[static_cast<size_t>(index)]);
        }
    }
    return records;
}

void SoftwareSelection::writeRecordFlags(size_t row, bool ticked) const {
    for (SoftwareInformationRecord* record : recordsOf(row)) {
        record->unInstallFlag = ticked;
    }
}

bool SoftwareSelection::isTRSURow(size_t row) const {
    // The row's first record decides, as for the grouped printer-driver row.
    if (row >= mRows.size() || mRows[row].softInfoMap.empty()) {
        return false;
    }
    const int32_t first = mRows[row].softInfoMap.front();
    return first >= 0 && static_cast<size_t>(first) < mRecords.size() &&
           isAppleTRSU(mRecords[static_cast<size_t>(first)]);
}

bool SoftwareSelection::anyTRSURowTicked() const {
    for (size_t row = 0; row < mRows.size(); ++row) {
        if (mRows[row].isMarkedForUninstall() && isTRSURow(row)) {
            return true;
        }
    }
    return false;
}

void SoftwareSelection::setUnInstallFlag(size_t row, bool ticked) {
    if (row >= mRows.size()) {
        return;
    }
    writeRecordFlags(row, ticked || isRowForced(row));
    mRows[row].unInstallFlag = ticked;
    if (!isTRSURow(row)) {
        return;
    }
    mIsAppleTRSUSelected = anyTRSURowTicked();
    // Every other-driver row is marked or released now, not only the rows that happen to be drawn: a row
    // scrolled out of sight must be removed all the same. Released rows follow their own check box again.
    for (size_t other = 0; other < mRows.size(); ++other) {
        if (isOtherDriver(mRows[other])) {
            writeRecordFlags(other, mIsAppleTRSUSelected || mRows[other].isMarkedForUninstall());
        }
    }
}

bool SoftwareSelection::hasTickedRow() const {
    for (const DisplayRecord& row : mRows) {
        if (row.isMarkedForUninstall()) {
            return true;
        }
    }
    return false;
}

bool SoftwareSelection::isRowForced(size_t row) const {
    return mIsAppleTRSUSelected && row < mRows.size() && isOtherDriver(mRows[row]);
}

std::string SoftwareSelection::informationText(size_t row, const Localization& texts) const {
    if (row >= mRows.size()) {
        return {};
    }
    const DisplayRecord& record = mRows[row];
    if (record.localizedExplanationList) {
        const std::string code = texts.localizedString("Main.LanguageCode");
        for (const auto& [language, explanation] : *record.localizedExplanationList) {
            if (language == code) {
                return explanation;
            }
        }
    }
    return Localization::formatWithArgument(texts.localizedString("Main.Information.Uninstall"),
                                            record.applicationName);
}

bool SoftwareSelection::isAppleTRSU(const SoftwareInformationRecord& record) {
    for (const PackageInfoEntry& entry : record.packageInfo) {
        if (CommonFunctions::isIncludeCheckString(entry.packageIdentifier, "TORVAPrinterDrivers")) {
            return true;
        }
    }
    return false;
}

bool SoftwareSelection::isOtherDriver(const DisplayRecord& row) {
    return CommonFunctions::isIncludeCheckString(row.applicationName, "Page Printer Driver") ||
           CommonFunctions::isIncludeCheckString(row.applicationName, "PC-FAX Driver");
}
