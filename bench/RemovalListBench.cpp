// The removal lists and the installed size of one software whose three packages install 50,000 files
// in a deep tree, next to "du -s" over the same tree in the same run. The figure is the ratio
// (removal lists and size / du).
#include "catalogue/StoreSoftwareInformationManager.h"
#include "platform/CTaskController.h"
#include "tests/support/PackageFixture.h"
#include "tests/support/TestSystem.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kPackages = 3;
constexpr int kFilesPerPackage = 16667;

// Installed once for the whole run; the system root stays on it.
struct InstalledDriver {
    TestSystem system;
    std::vector<PackageInfoEntry> packages;
    std::string hostFolder;

    InstalledDriver() {
        // The stand-in tools (lsbom) come from the built bundle.
        ::setenv("UNINSTALLER_BUNDLE", UNINSTALLER_BUILD_BUNDLE, 1);
        system.writeSystemVersion("10.15.7");
        for (int p = 0; p < kPackages; ++p) {
            PackageDescription package{.identifier = "com.torva.pkg.Bench" + std::to_string(p),
                                       .installPrefix = "Library/Printers"};
            for (int i = 0; i < kFilesPerPackage; ++i) {
                // Eight levels deep, a few dozen entries per folder.
                const std::string folder = "TORVA/Bench" + std::to_string(p) + "/Contents/Resources/" +
                                           std::to_string(i % 7) + ".lproj/" + std::to_string(i % 29) +
                                           "/Items/" + std::to_string(i % 31);
                package.items.push_back(
                    PackageItem::file(folder + "/file" + std::to_string(i) + ".dat",
                                      std::string(static_cast<size_t>(100 + i % 900), 'x')));
            }
            PackageFixture::install(system, package);
            packages.push_back({package.identifier, "-", "1.0", "Flat"});
        }
        hostFolder = system.host("/Library/Printers/TORVA");
    }
};

InstalledDriver& driver() {
    static InstalledDriver installed;
    return installed;
}

void RemovalListsAndSizeVersusDu(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    InstalledDriver& installed = driver();
    Clock::duration listTime{};
    Clock::duration duTime{};
    int64_t bytes = 0;
    for (auto _ : state) {
        StoreSoftwareInformationManager store;
        const auto start = Clock::now();
        bytes = store.getApplicationSize(installed.packages, {std::string("Bench Driver"), {}, {}});
        const auto middle = Clock::now();
        CTaskController::run("/usr/bin/du", {"-s", installed.hostFolder});
        const auto end = Clock::now();
        listTime += middle - start;
        duTime += end - middle;
    }
    const double runs = static_cast<double>(state.iterations());
    const double listSeconds = std::chrono::duration<double>(listTime).count();
    const double duSeconds = std::chrono::duration<double>(duTime).count();
    state.counters["lists_ms"] = listSeconds / runs * 1000;
    state.counters["du_ms"] = duSeconds / runs * 1000;
    state.counters["ratio"] = listSeconds / duSeconds;
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(RemovalListsAndSizeVersusDu)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace
