#pragma once

#include <iosfwd>

class StoreSoftwareInformationManager;

/// Prints the catalogue's table rows.
class ListCommand {
public:
    /// One line per row: name, version and size ("%.2f MB") separated by tabs; a tab or line break
    /// inside a name or version is written as "\t", "\n" or "\r".
    static void printRows(const StoreSoftwareInformationManager& store, std::ostream& out);

    /// The rows as a JSON array, each with the full records it stands for.
    static void printJson(const StoreSoftwareInformationManager& store, std::ostream& out);
};
