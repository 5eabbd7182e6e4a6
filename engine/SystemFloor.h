#pragma once

#include <string>
#include <string_view>

/// The system folders that no uninstall deletes and no script line may aim at, whatever the data of the
/// information resource file says: "/", /System, /Library, /Applications, /Users, every home folder in
/// /Users and its Library, /usr, /bin, /sbin, /etc, /var, /private, /Library/Printers,
/// /Library/Preferences, /Library/LaunchAgents, /Library/Receipts and
/// /Library/Printers/PPDs/Contents/Resources.
///
/// Paths are compared standardized and without regard to letter case, as macOS's file systems compare
/// them by default.
class SystemFloor {
public:
    /// True when the path is one of the folders.
    static bool contains(std::string_view path);

    /// True when one of the folders lies below the path (so deleting the path would delete it too).
    static bool containsBelow(std::string_view path);

    /// The path in the form the comparisons use (path::comparisonKey).
    static std::string comparable(std::string_view path);
};
