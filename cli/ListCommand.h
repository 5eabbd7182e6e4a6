#pragma once

#include <iosfwd>

class StoreSoftwareInformationManager;

/// Prints the catalogue's table rows.
class ListCommand {
public:
    /// One line per row: name, version and size ("%.2f MB") separated by tabs; a tab or line break
    /// inside a name or version is written as "\t", "\n" or "\r", any other control character or byte
    /// that is not UTF-8 as "\xNN" (C1 characters as "\uNNNN").
    static void printRows(const StoreSoftwareInformationManager& store, std::ostream& out);

    /// The rows as a JSON array, each with its warnings and the full records it stands for. The output is
    /// always valid JSON in UTF-8: bytes that are no UTF-8 become U+FFFD, control characters are escaped.
    static void printJson(const StoreSoftwareInformationManager& store, std::ostream& out);

    /// Whether printWarnings() also prints the warnings of each row (the JSON rows carry their own).
    enum class RowWarnings { Include, Leave };

    /// One line per problem met while the catalogue was built ("uninstaller-cli: …").
    static void printWarnings(const StoreSoftwareInformationManager& store, std::ostream& err,
                              RowWarnings rowWarnings);
};
