#pragma once

#include "tests/support/PackageFixture.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestSystem.h"

#include <string>
#include <vector>

/// One TORVA software of the sample system: its uninstall information file with its packages, and the
/// Software Update packages whose receipts the catalogue merges with that file (none for most).
struct SampleSoftware {
    SoftwareSpec spec;
    std::vector<PackageDescription> softwareUpdatePackages;
};

/// A TORVA customer's Mac on macOS 10.15.7, for the demo, the end-to-end tests and trying the
/// uninstaller by hand.
///
/// Two users (anna, ben) with their Dock, login items and launch agents; the maker's inkjet, page and
/// fax drivers and two utilities, each with packages, receipts and an uninstall information file; the
/// inkjet driver's Software Update receipts; PPD files; and beside them another vendor's software and
/// the users' own files. Every byte and date is the same on each run.
class SampleSystem {
public:
    /// Writes the whole tree into an empty system; throws std::runtime_error when something cannot be
    /// written.
    static void write(const TestSystem& system);

    /// The TORVA software, in the order of their uninstall information files' names.
    static const std::vector<SampleSoftware>& software();

    /// Files that belong to no TORVA software's removal (other vendors', the users' own, the maker's
    /// shared files): whatever is uninstalled, these stay.
    static const std::vector<std::string>& keptFiles();

    /// The time every item of the tree carries, in seconds since 1970.
    static constexpr int64_t kFileTime = 1601631000; // 2020-10-02 09:30 UTC
};
