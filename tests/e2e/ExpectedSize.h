#pragma once

#include "tests/support/PackageFixture.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestSystem.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

/// The installed size a row should show, worked out from the fixture's own description and the files
/// on disk rather than from the program's removal lists.
///
/// A software weighs the regular files that its packages installed and that are still there, less
/// those under its rest paths and the application's shared ones ("EXRestPathList"), plus every file
/// under its remove paths and under the extension paths the shipped data gives its name, plus the
/// maker's PPD files whose filter is one of the shipped ones when the shipped data names it; each file
/// once. Remove paths may end in a wildcard or hold "*" for the user's folder.
class ExpectedSize {
public:
    /// A software found from its uninstall information file, with the Software Update packages merged
    /// into it (none for most).
    static int64_t of(const TestSystem& system, const SoftwareSpec& spec,
                      const std::vector<PackageDescription>& softwareUpdatePackages = {});

    /// A Software Update group stored from its receipts alone, under its display name.
    static int64_t ofReceipts(const TestSystem& system, const std::string& displayName,
                              const std::vector<PackageDescription>& packages);

    /// The files an uninstall of the software removes (the files behind of()), with extra kept paths
    /// (the pool of all software's rest paths).
    static std::set<std::string> filesOf(const TestSystem& system, const SoftwareSpec& spec,
                                         const std::vector<PackageDescription>& softwareUpdatePackages,
                                         const std::vector<std::string>& moreRestPaths);

    /// Where a package's items were installed.
    static std::string installFolder(const PackageDescription& package, ReceiptLayout layout);

    /// True when a remove or rest path entry names the path or a folder above it ("*" stands for any
    /// part of one name).
    static bool covers(const std::string& entry, const std::string& path);

    /// "%.2f MB" of a size, as the rows show it.
    static std::string megabytes(int64_t bytes);
};
