#pragma once

#include <cstdint>
#include <functional>
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
        NotASystem,   // the system root has neither SystemVersion.plist nor /Library: alert 1004
    };

    /// True when the system root looks like a macOS system: it has
    /// "/System/Library/CoreServices/SystemVersion.plist" or "/Library".
    static bool isMacSystem();

    /// Runs the search and builds the catalogue; `beforeStoring` is called between the two (the window
    /// shows its "reading" message there).
    static Outcome run(SearchSoftwareInformationManager& search, StoreSoftwareInformationManager& store,
                       const std::function<void()>& beforeStoring = {});
};
