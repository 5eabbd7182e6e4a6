#include "ui/SoftwareSelection.h"

#include "catalogue/SoftwareInformationRecord.h"
#include "platform/Localization.h"

SoftwareSelection::SoftwareSelection(std::vector<SoftwareInformationRecord>& records,
                                     std::vector<DisplayRecord>& rows)
    : mRecords(records), mRows(rows) {}

void SoftwareSelection::setUnInstallFlag(size_t row, bool ticked) {
    if (row >= mRows.size()) {
        return;
    }
    mRows[row].unInstallFlag = ticked;
    // Every row's records are written now, not only the rows that happen to be drawn: a forced row
    // scrolled out of sight goes all the same, and a released one follows its own check box again.
    RowTicks::markRecords(mRows, mRecords);
}

bool SoftwareSelection::hasTickedRow() const {
    for (const DisplayRecord& row : mRows) {
        if (row.isMarkedForUninstall()) {
            return true;
        }
    }
    return false;
}

std::optional<size_t> SoftwareSelection::forcedBy(size_t row) const {
    return RowTicks::forcedBy(row, mRows, mRecords);
}

bool SoftwareSelection::isSoftwareUpdateRow(size_t row) const {
    return row < mRows.size() && RowTicks::isSoftwareUpdateRow(mRows[row], mRecords);
}

std::vector<RowTicks::Taken> SoftwareSelection::takenRows() const {
    return RowTicks::takenRows(mRows, mRecords);
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
    return texts.format("Main.Information.Uninstall", record.applicationName);
}

std::string SoftwareSelection::forcedReason(size_t row, const Localization& texts) const {
    const std::optional<size_t> forcing = forcedBy(row);
    return forcing ? texts.format("Main.Information.Forced", mRows[*forcing].applicationName) : std::string();
}
