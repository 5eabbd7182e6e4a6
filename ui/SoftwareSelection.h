#pragma once

#include "catalogue/DisplayRecord.h"
#include "catalogue/RowTicks.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class Localization;
struct SoftwareInformationRecord;

/// What the user ticks in the software table, written into the catalogue: each row's display record and
/// the full records its "SoftInfoMap" names, which the uninstall driver reads.
///
/// Which rows go follows RowTicks: a ticked row holding the maker's printer drivers from Software Update
/// takes the page-printer and fax driver rows along; they are shown ticked and cannot be changed while
/// it is ticked.
class SoftwareSelection {
public:
    /// Works on the catalogue's lists, which must outlive the selection.
    SoftwareSelection(std::vector<SoftwareInformationRecord>& records, std::vector<DisplayRecord>& rows);

    size_t rowCount() const { return mRows.size(); }
    const DisplayRecord& row(size_t row) const { return mRows[row]; }

    /// Ticks or unticks a row's own check box and marks the full records of every row that now goes.
    /// Out-of-range rows are ignored.
    void setUnInstallFlag(size_t row, bool ticked);

    /// True while at least one row's own check box is ticked (the Uninstall button's state).
    bool hasTickedRow() const;

    /// The ticked Software Update row that takes this row along; nullopt when it is not forced.
    std::optional<size_t> forcedBy(size_t row) const;

    /// True when ticking or unticking the row can change which other rows go.
    bool isSoftwareUpdateRow(size_t row) const;

    /// Every row an uninstall now takes, in row order, the forced ones with the row that forces them.
    std::vector<RowTicks::Taken> takenRows() const;

    /// The information text of a row: its explanation for the language code of `texts`
    /// ("Main.LanguageCode"), else "Main.Information.Uninstall" with the row's name. Empty for a row out
    /// of range.
    std::string informationText(size_t row, const Localization& texts) const;

    /// Why a forced row goes ("Main.Information.Forced" with the forcing row's name); empty for a row
    /// that is not forced.
    std::string forcedReason(size_t row, const Localization& texts) const;

private:
    std::vector<SoftwareInformationRecord>& mRecords;
    std::vector<DisplayRecord>& mRows;
};
