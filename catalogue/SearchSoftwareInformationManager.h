#pragma once

#include "common/PackageInfoEntry.h"

#include <optional>
#include <string>
#include <vector>

/// Finds the evidence that the maker's software is installed: uninstall information files in a
/// preferences folder and the maker's Software Update receipts in a receipts folder.
class SearchSoftwareInformationManager {
public:
    /// Appends the names in `folder` that begin with "com.torva." and end with ".UnInstallList.plist"
    /// (case-sensitive), in listing order, without emptying the list first. true when this call added one.
    bool searchUnInstallPList(const std::optional<std::string>& folder);

    /// Replaces the receipt list by one entry per "com.apple.pkg.TORVA*.plist" receipt in `folder` (a
    /// folder path ending in "/"), made from the receipt's own "PackageIdentifier". Receipts that cannot
    /// be read or carry no identifier are passed over. true when an entry was made; an absent folder
    /// leaves the list as it was.
    bool searchSoftwareUpdateReciepts(const std::optional<std::string>& folder);

    std::vector<std::string>& getMUnInstallSoftwarePListArray() { return mUnInstallSoftwarePListArray; }
    const std::vector<std::string>& getMUnInstallSoftwarePListArray() const {
        return mUnInstallSoftwarePListArray;
    }
    std::vector<PackageInfoEntry>& getMSoftwareUpdateBomArray() { return mSoftwareUpdateBomArray; }
    const std::vector<PackageInfoEntry>& getMSoftwareUpdateBomArray() const {
        return mSoftwareUpdateBomArray;
    }

private:
    std::vector<std::string> mUnInstallSoftwarePListArray;
    std::vector<PackageInfoEntry> mSoftwareUpdateBomArray;
};
