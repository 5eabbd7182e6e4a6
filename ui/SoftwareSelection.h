#pragma once

#include "catalogue/DisplayRecord.h"

#include <cstddef>
#include <string>
#include <vector>

class Localization;
struct SoftwareInformationRecord;

/// What the user ticks in the software table, written into the catalogue: each row's display record and
/// the full records its "SoftInfoMap" names, which the uninstall driver reads.
///
/// A ticked row whose software carries the maker's Software Update printer drivers (a TRSU row) forces
/// the page-printer and fax driver rows into the uninstall: their full records are marked while it is
/// ticked, and their rows are shown greyed with their own check marks.
class SoftwareSelection {
public:
    /// Works on the catalogue's lists, which must outlive the selection.
    SoftwareSelection(std::vector<SoftwareInformationRecord>& records, std::vector<DisplayRecord>& rows);

    size_t rowCount() const { return mRows.size(); }
    const DisplayRecord& row(size_t row) const { return mRows[row]; }

    /// Ticks or unticks a row: its display record and every full record it stands for. Ticking or
    /// unticking a TRSU row marks or releases the other-driver rows. Out-of-range rows are ignored.
    void setUnInstallFlag(size_t row, bool ticked);

    /// True while at least one row's own check box is ticked (the Uninstall button's state).
    bool hasTickedRow() const;

    /// True while a ticked TRSU row forces this row into the uninstall.
    bool isRowForced(size_t row) const;

    /// True while a TRSU row is ticked.
    bool isAppleTRSUSelected() const { return mIsAppleTRSUSelected; }

    /// True when the row's first full record is a TRSU record.
    bool isTRSURow(size_t row) const;

    /// The information text of a row: its explanation for the language code of `texts`
    /// ("Main.LanguageCode"), else "Main.Information.Uninstall" with the row's name. Empty for a row out
    /// of range.
    std::string informationText(size_t row, const Localization& texts) const;

    /// True when a package of the record is the maker's Software Update printer-driver package.
    static bool isAppleTRSU(const SoftwareInformationRecord& record);

    /// True for the page-printer and fax driver rows, which a TRSU row takes along.
    static bool isOtherDriver(const DisplayRecord& row);

private:
    /// The full records a row stands for; indexes outside the full list are passed over.
    std::vector<SoftwareInformationRecord*> recordsOf(size_t row) const;
    void writeRecordFlags(size_t row, bool ticked) const;
    bool anyTRSURowTicked() const;

    std::vector<SoftwareInformationRecord>& mRecords;
    std::vector<DisplayRecord>& mRows;
    bool mIsAppleTRSUSelected = false;
};
