#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

class StoreSoftwareInformationManager;

/// Ticks rows of the catalogue by name, as the check boxes of the window do: a row ticks every full
/// record it stands for, and a row whose software holds the maker's Software Update printer-driver
/// package also ticks the other driver rows (names containing "Page Printer Driver" or "PC-FAX Driver",
/// in any letter case).
class RowSelection {
public:
    struct Result {
        std::vector<std::string> ticked;  ///< the rows named, in row order
        std::vector<std::string> forced;  ///< rows ticked because a Software Update driver row was
        std::vector<std::string> unknown; ///< names no row has; nothing is ticked when there is one
        std::string forcedBy;             ///< the row that forced them
    };

    /// Ticks the named rows (every row with `all`).
    static Result tick(StoreSoftwareInformationManager& store, const std::vector<std::string>& names,
                       bool all);

    /// tick(), telling `err` which rows a Software Update driver row added and why, or which names are
    /// unknown and what the rows are called; nullopt (nothing ticked) for an unknown name.
    static std::optional<Result> select(StoreSoftwareInformationManager& store,
                                        const std::vector<std::string>& names, bool all, std::ostream& err);

    /// The names of all rows, in order.
    static std::vector<std::string> rowNames(StoreSoftwareInformationManager& store);
};
