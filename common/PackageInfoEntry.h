#pragma once

#include "platform/PlistValue.h"

#include <optional>
#include <string>

/// One installed package of a software: the four strings of a "PackageInfo" entry.
struct PackageInfoEntry {
    std::string packageIdentifier; // "PackageIdentifier": the receipt's identifier
    std::string packageName;       // "PackageName": the package file name (bundle receipts); "-" if unknown
    std::string packageVersion;    // "PackageVersion": carried, not interpreted; "-" if unknown
    std::string packageType;       // "PackageType": "Bundle" for a bundle package, else a flat one

    /// An entry made from a Software Update receipt: the identifier, "-", "-", "Bundle".
    static PackageInfoEntry fromReceipt(const std::string& identifier) {
        return {identifier, "-", "-", "Bundle"};
    }

    /// Reads an entry of an uninstall information file; nullopt unless it is a dictionary holding all
    /// four keys as strings.
    static std::optional<PackageInfoEntry> fromPlist(const PlistValue& value) {
        if (!value.isDictionary()) {
            return std::nullopt;
        }
        auto identifier = value.stringForKey("PackageIdentifier");
        auto name = value.stringForKey("PackageName");
        auto version = value.stringForKey("PackageVersion");
        auto type = value.stringForKey("PackageType");
        if (!identifier || !name || !version || !type) {
            return std::nullopt;
        }
        return PackageInfoEntry{*identifier, *name, *version, *type};
    }

    bool operator==(const PackageInfoEntry&) const = default;
};
