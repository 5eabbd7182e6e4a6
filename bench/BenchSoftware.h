#pragma once

#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestSystem.h"

#include <string>
#include <vector>

/// The software the uninstall benchmarks remove: "Bench Driver", three packages that install 50,000
/// files eight levels below /Library/Printers/TORVA/Bench, with their receipts and uninstall
/// information file, on a 10.15 system with one user.
struct BenchSoftware {
    static constexpr int kPackages = 3;
    static constexpr int kFilesPerPackage = 16667;

    /// Writes the whole system into `system`.
    static void install(const TestSystem& system);

    /// The software's description (packages, items, name).
    static const SoftwareSpec& spec();

    /// The folder all its files lie in.
    static constexpr const char* kFolder = "/Library/Printers/TORVA/Bench";

    /// Copies a host folder with everything in it (cp -a); false when the copy failed.
    static bool copyTree(const std::string& from, const std::string& to);

    /// Deletes a host folder with "rm -rf"; false when rm failed.
    static bool removeTree(const std::string& hostFolder);

    /// The median of some ratios.
    static double median(std::vector<double> values);
};
