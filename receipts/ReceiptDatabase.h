#pragma once

#include "platform/PlistValue.h"

#include <optional>
#include <string>
#include <vector>

/// The package receipts of one volume, where macOS pkgutil looks for them.
///
/// The volume is made the system root, so every path below is resolved inside it and no symbolic link
/// leads out of it. A receipt is "<id>.plist" holding a dictionary, with its bill of materials "<id>.bom"
/// beside it. The folders are searched in the order /var/db/receipts, /System/Library/Receipts,
/// /Library/Apple/System/Library/Receipts, /Library/Receipts (the last for home-folder volumes); the
/// first folder that has the id wins.
class ReceiptDatabase {
public:
    /// The receipts of the volume at a host folder; nullopt when it is not a folder.
    static std::optional<ReceiptDatabase> open(const std::string& hostVolume);

    struct Receipt {
        std::string identifier;
        std::string folder; ///< the folder inside the volume that holds the receipt
        PlistValue info;    ///< the receipt's dictionary

        std::string plistPath() const { return folder + "/" + identifier + ".plist"; }
        std::string bomPath() const { return folder + "/" + identifier + ".bom"; }
    };

    /// The receipt of a package id; nullopt when no folder has a readable one. An id holding "/"
    /// would name a file elsewhere and is never found.
    std::optional<Receipt> find(const std::string& identifier) const;

    /// Every package id of the volume, each once, folder by folder, sorted within a folder.
    std::vector<std::string> identifiers() const;

private:
    ReceiptDatabase() = default;
};
