#pragma once

#include <string>
#include <string_view>
#include <vector>

/// The files through which the program knows installed software: the uninstall information files in
/// /Library/Preferences and the package receipts in the receipts folders. No removal list takes them;
/// only the information-file and receipt steps remove them, and only a software's own.
class RecordFiles {
public:
    /// True for "/Library/Preferences/com.torva.<name>.UnInstallList.plist", compared as a Mac compares
    /// names.
    static bool isInformationFile(std::string_view systemPath);
    /// The same for a path already in comparison form (path::comparisonKey).
    static bool isInformationFileKey(std::string_view key);

    /// True for an item inside a receipts folder: /Library/Receipts, /var/db/receipts (or
    /// /private/var/db/receipts), /System/Library/Receipts, /Library/Apple/System/Library/Receipts, or
    /// a home folder's Library/Receipts.
    static bool isInReceiptsFolder(std::string_view systemPath);
    /// The same for a path already in comparison form (path::comparisonKey).
    static bool isInReceiptsFolderKey(std::string_view key);

    /// True when the receipt bundle at a system path was written for the package `identifier` (its
    /// Contents/Info.plist names it as "CFBundleIdentifier"); false when it names another package or
    /// none, or cannot be read.
    static bool isReceiptBundleOf(const std::string& bundlePath, const std::string& identifier);

    /// The files "pkgutil --forget ID --volume V" deletes: "<ID>.plist" and, when there, "<ID>.bom" of
    /// the first receipts folder of the volume (a system path: "/" or a home folder) that holds the
    /// receipt, in the order the receipt database looks: /var/db/receipts, /System/Library/Receipts,
    /// /Library/Apple/System/Library/Receipts, /Library/Receipts. Empty when none holds it.
    static std::vector<std::string> receiptFilesOf(const std::string& identifier, const std::string& volume);
};
