#pragma once

#include "platform/PlistValue.h"

#include <optional>
#include <string>
#include <vector>

/// The package receipts of one volume (a host folder), where macOS pkgutil looks for them.
///
/// A receipt is "<id>.plist" holding a dictionary, with its bill of materials "<id>.bom" beside it.
/// The folders are searched in the order var/db/receipts, System/Library/Receipts,
/// Library/Apple/System/Library/Receipts, Library/Receipts (the last for home-folder volumes); the
/// first folder that has the id wins.
class ReceiptDatabase {
public:
    explicit ReceiptDatabase(std::string volume);

    struct Receipt {
        std::string identifier;
        std::string folder; ///< host folder that holds the receipt
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
    std::vector<std::string> folders() const;

    std::string mVolume;
};
