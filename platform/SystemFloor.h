#pragma once

#include <optional>
#include <string>
#include <string_view>

/// What no uninstall deletes, moves or edits, whatever the data of the software or of the information
/// resource file says. Compiled in, so that no data can lower it, and here, so that the lowest deletion
/// code enforces it too.
///
/// - The floor: the system's folders themselves ("/", /System, /Library, /Applications, /Users, every
///   home folder in /Users and its Library, /usr, /bin, /sbin, /etc, /var, /tmp, /private and its
///   folders, the maker's shared folders in /Library, the receipts folders and the folders on the way
///   to the places a driver may use below).
/// - The protected subtrees, their tops and everything in them: the system (/System, /bin, /sbin, /usr,
///   /private/etc, /private/var, /Library/Apple), the system's keychains and network settings, the
///   uninstall log, other volumes and devices, and every user's own files: all of a home folder but its
///   Library, and in that Library the keychains, mail, messages and similar personal stores.
/// - Inside them, only the places a driver for 10.3 to 10.10 really used may be emptied, and there only
///   what carries the maker's name: kernel extensions in /System/Library/Extensions, the printing
///   system's filters and backends in /usr/libexec/cups; besides those /usr/local, and the receipt
///   databases for the receipt steps.
///
/// Paths are compared as macOS's default volumes compare names (path::comparisonKey).
class SystemFloor {
public:
    /// True when the path is one of the floor folders.
    static bool contains(std::string_view path);

    /// True when one of the floor folders lies below the path (so deleting the path would delete it too).
    static bool containsBelow(std::string_view path);

    /// True when nothing may delete, move or edit the item: a floor folder, or the top of a protected
    /// subtree or anything in one (outside the places allowed there).
    static bool mayNotTouch(std::string_view path);

    /// Why mayNotTouch() holds ("a system folder", "the system's own files", "a user's own files", …);
    /// nullopt when it does not.
    static std::optional<std::string_view> untouchableBecause(std::string_view path);
    /// The same for a path already in comparison form (comparable()), for callers that test many.
    static std::optional<std::string_view> untouchableKeyBecause(std::string_view key);

    /// True when the path or something below it may not be touched (so the path may not go with
    /// everything it holds).
    static bool holdsUntouchable(std::string_view path);

    /// The path in the form the comparisons use (path::comparisonKey).
    static std::string comparable(std::string_view path);
};
