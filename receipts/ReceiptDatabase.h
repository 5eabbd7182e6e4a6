#pragma once

#include "platform/PlistValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The package receipts of one volume, where macOS pkgutil looks for them.
///
/// A receipt is "<id>.plist" holding a dictionary, with its bill of materials "<id>.bom" beside it. The
/// folders are searched in the order /var/db/receipts, /System/Library/Receipts,
/// /Library/Apple/System/Library/Receipts, /Library/Receipts (the last for home-folder volumes); the
/// first folder that has the id wins. Every path is a system path, resolved inside the system root, so
/// no symbolic link leads out of it.
class ReceiptDatabase {
public:
    /// The receipts of the volume at a host folder, which becomes the system root (the stand-in tool's
    /// --volume); nullopt when it is not a folder.
    static std::optional<ReceiptDatabase> open(const std::string& hostVolume);

    /// The receipts of a volume of the system being cleaned ("/" for the system itself).
    static ReceiptDatabase atVolume(const std::string& systemVolume) { return ReceiptDatabase(systemVolume); }

    struct Receipt {
        std::string identifier;
        std::string folder; ///< the folder that holds the receipt, a system path
        PlistValue info;    ///< the receipt's dictionary

        std::string plistPath() const { return folder + "/" + identifier + ".plist"; }
        std::string bomPath() const { return folder + "/" + identifier + ".bom"; }

        /// "PackageIdentifier", or the identifier the receipt was found by when it has none.
        std::string packageIdentifier() const;
        /// "PackageVersion"; empty when there is none.
        std::string version() const;
        /// "InstallPrefixPath" as stored: the install location relative to the volume, usually without a
        /// leading "/"; empty when there is none.
        std::string installPrefixPath() const;
        /// "InstallDate" in whole seconds since 1970; 0 when there is none.
        int64_t installTime() const;
        /// "PackageGroups"; empty unless it is an array of strings.
        std::vector<std::string> groups() const;
    };

    /// The receipt that the bytes of a receipt property list give; nullopt unless they hold a dictionary.
    static std::optional<Receipt> parse(const std::string& identifier, const std::string& folder,
                                        std::string_view bytes);

    /// The receipt of a package id; nullopt when no folder has a readable one. An id holding "/" or a
    /// NUL would name a file elsewhere and is never found.
    std::optional<Receipt> find(const std::string& identifier) const;

    /// Every package id of the volume, each once, folder by folder, sorted within a folder.
    std::vector<std::string> identifiers() const;

private:
    explicit ReceiptDatabase(std::string volume) : mVolume(std::move(volume)) {}

    // The receipt folders of the volume, in search order.
    std::vector<std::string> folders() const;

    std::string mVolume;
};
