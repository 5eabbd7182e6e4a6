#pragma once

#include "catalogue/RowTicks.h"

#include <iosfwd>
#include <string>
#include <vector>

class StoreSoftwareInformationManager;

/// Ticks rows of the catalogue by name, as the check boxes of the window do, through the same rule
/// (RowTicks): a row ticks every full record it stands for, and a row holding the maker's printer
/// drivers from Software Update takes the other driver rows along.
class RowSelection {
public:
    struct Result {
        std::vector<std::string> ticked;    ///< the rows named, in row order
        std::vector<std::string> forced;    ///< rows taken along by a Software Update driver row
        std::vector<std::string> unknown;   ///< names no row has; nothing is ticked when there is one
        std::string forcedBy;               ///< the row that forced them
        std::vector<RowTicks::Taken> taken; ///< every row that goes, in row order
    };

    /// Ticks the named rows (every row with `all`).
    static Result tick(StoreSoftwareInformationManager& store, const std::vector<std::string>& names,
                       bool all);

    /// Whether select() tells which rows were taken along (errors are always told).
    enum class Notice { Print, Quiet };

    /// tick(), telling `err` which rows a Software Update driver row took along and why, or which names
    /// are unknown and what the rows are called (then nothing is ticked).
    static Result select(StoreSoftwareInformationManager& store, const std::vector<std::string>& names,
                         bool all, std::ostream& err, Notice notice = Notice::Print);

    /// Why the unknown names of a result cannot be used, in one line; "" when every name is a row's.
    static std::string unknownReason(const Result& result);

    /// The names of all rows, in order.
    static std::vector<std::string> rowNames(const StoreSoftwareInformationManager& store);
};
