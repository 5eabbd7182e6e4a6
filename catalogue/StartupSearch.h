#pragma once

#include <cstdint>
#include <string>

class SearchSoftwareInformationManager;
class StoreSoftwareInformationManager;

/// The search the application makes when it starts, before it shows the table: the uninstall
/// information files in "/Library/Preferences/", the Software Update receipts of the system version,
/// and the catalogue built from them.
class StartupSearch {
public:
    enum class Outcome {
        Found,        // the catalogue holds the software to show
        NothingFound, // no file and no receipt, or the catalogue could not be built: alert 1000
    };

    static Outcome run(SearchSoftwareInformationManager& search, StoreSoftwareInformationManager& store);
};
