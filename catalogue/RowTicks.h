#pragma once

#include "catalogue/DisplayRecord.h"
#include "catalogue/SoftwareInformationRecord.h"

#include <cstddef>
#include <optional>
#include <vector>

/// Which rows of the table an uninstall takes, and which full records it therefore removes: the rows
/// ticked by the user, and, while a row holding the maker's printer drivers from Software Update is
/// ticked, the other driver rows (page-printer and fax), which depend on those drivers and go with them.
/// The window and the command line both tick through this rule.
class RowTicks {
public:
    /// One row an uninstall takes.
    struct Taken {
        size_t row = 0;
        bool ticked = false;            ///< the row's own check box
        std::optional<size_t> forcedBy; ///< the ticked Software Update row that takes it along
    };

    /// True when any full record of the row holds the Software Update printer-driver package (an
    /// identifier containing "TORVAPrinterDrivers", in any letter case). Indexes outside `records` are
    /// passed over.
    static bool isSoftwareUpdateRow(const DisplayRecord& row,
                                    const std::vector<SoftwareInformationRecord>& records);

    /// True for the rows a Software Update row takes along: names containing "Page Printer Driver" or
    /// "PC-FAX Driver", in any letter case.
    static bool isOtherDriver(const DisplayRecord& row);

    /// The first ticked Software Update row; nullopt while none is ticked.
    static std::optional<size_t> forcingRow(const std::vector<DisplayRecord>& rows,
                                            const std::vector<SoftwareInformationRecord>& records);

    /// The ticked Software Update row that takes `row` along; nullopt when nothing forces it (a row is
    /// never forced by itself).
    static std::optional<size_t> forcedBy(size_t row, const std::vector<DisplayRecord>& rows,
                                          const std::vector<SoftwareInformationRecord>& records);

    /// Every row an uninstall of the ticked rows removes, in row order: the ticked rows and the forced ones.
    static std::vector<Taken> takenRows(const std::vector<DisplayRecord>& rows,
                                        const std::vector<SoftwareInformationRecord>& records);

    /// Writes every full record's "UnInstallFlag": set when a row standing for it is taken, cleared
    /// otherwise (records no row stands for included), so that nothing the table does not show as
    /// going is removed.
    static void markRecords(const std::vector<DisplayRecord>& rows,
                            std::vector<SoftwareInformationRecord>& records);
};
