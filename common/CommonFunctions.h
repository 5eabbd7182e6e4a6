#pragma once

#include "common/PackageInfoEntry.h"
#include "platform/PlistValue.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

/// A set of strings (paths, labels); iterates in sorted order so that every run lists the same way.
using StringSet = std::set<std::string>;

/// The program's string and folder comparisons, the renaming of software names, the application's own
/// data files, and the receipt lookups that find a package's BOM file and install point.
class CommonFunctions {
public:
    /// The information resource file (CorvaneInformaiton.plist in the main bundle's resources) as a
    /// dictionary, read on first use; nullopt when there is no bundle or no readable dictionary.
    const std::optional<PlistValue>& getCorvaneInfoRootDict() const;

    /// The main bundle's Info.plist as a dictionary, read on first use; nullopt when there is none.
    const std::optional<PlistValue>& getMainBundleInfoDict() const;

    /// Exact, case-sensitive equality; an absent first string counts as equal.
    static bool isEqualStringCompare(std::optional<std::string_view> a, std::string_view b);

    /// True when `t` occurs in `s`, ignoring letter case; an absent `s` counts as containing it.
    static bool isIncludeCheckString(std::optional<std::string_view> s, std::string_view t);

    /// True when the path equals one of the folders or lies below it (folder + "/"); false for an empty
    /// list or an absent path.
    static bool isIncludeFolderPathArray(const std::vector<std::string>& folders,
                                         std::optional<std::string_view> path);

    /// Removes `array[index]` once when `s` equals one of `list` (and both are non-empty); true when it did.
    template <typename T>
    static bool removeBackArrayObject(std::vector<T>& array, std::optional<std::string_view> s, size_t index,
                                      const std::vector<std::string>& list) {
        if (list.empty() || array.empty() || index >= array.size()) {
            return false;
        }
        for (const std::string& candidate : list) {
            if (isEqualStringCompare(s, candidate)) {
                array.erase(array.begin() + static_cast<std::ptrdiff_t>(index));
                return true;
            }
        }
        return false;
    }

    /// The display name of a software name from "EXReNameList" of the application's Info.plist; the
    /// name unchanged when it has no entry.
    std::string convertSoftwareName(const std::string& name) const;

    /// The install location the receipt of a package on a volume records ("InstallPrefixPath", empty
    /// when it records none), read as "pkgutil --pkg-info ID --volume V" would; nullopt when the volume
    /// has no readable receipt of the package.
    static std::optional<std::string> getInstallPoint(const std::string& identifier,
                                                      const std::string& volume);

    /// The folder of Software Update receipts for a system version number.
    static std::string receiptsFolder(int32_t osVersion);

    /// `folder` joined with `name`, standardized.
    static std::string makeBomPath(const std::string& name, const std::string& folder);

    // Receipt lookups: each writes the BOM path to `bomPath` (the bundle lookup only once the BOM exists)
    // and gives the install point, or nullopt when the BOM file or the install point is missing.

    /// 10.6 and later: /var/db/receipts/<id>.bom.
    std::optional<std::string> getRelocatedPathFor106(const PackageInfoEntry& entry,
                                                      std::string& bomPath) const;
    /// Software Update packages on 10.11 to 10.14: /System/Library/Receipts/<id>.bom.
    std::optional<std::string> getRelocatedPathFor1011ASU(const PackageInfoEntry& entry,
                                                          std::string& bomPath) const;
    /// Software Update packages on 10.15 and later: /Library/Apple/System/Library/Receipts/<id>.bom.
    std::optional<std::string> getRelocatedPathFor1015ASU(const PackageInfoEntry& entry,
                                                          std::string& bomPath) const;
    /// 10.3 to 10.5: /Library/Receipts/boms/<id>.bom for flat packages; for "Bundle" packages
    /// /Library/Receipts/<name>/Contents/Archive.bom with the bundle's "IFPkgRelocatedPath", else
    /// "IFPkgReceiptLocation", else "/".
    std::optional<std::string> getRelocatedPathFor103Between105(const PackageInfoEntry& entry,
                                                                std::string& bomPath) const;

    /// The lookup the system version calls for (the maker's own packages always in /var/db/receipts from
    /// 10.6 on, Software Update packages in the folder of the version), falling back to the 10.3-to-10.5
    /// lookup; nothing below 10.3.
    std::optional<std::string> lookupReceipt(const PackageInfoEntry& entry, int32_t osVersion,
                                             std::string& bomPath) const;

    /// Adds every string of `array` to `set`.
    static void mergeArrayToDictionary(const std::vector<std::string>& array, StringSet& set);

private:
    // The application's own data files, each read once for the life of this object.
    mutable std::optional<std::optional<PlistValue>> mCorvaneInfo;
    mutable std::optional<std::optional<PlistValue>> mMainBundleInfo;
};
