// "uninstaller-cli list" on a system with 20 TORVA software whose packages install 100,000 files in
// all, next to "du -s" over the same files in the same run. The iteration time is the list's; the
// figure is the ratio (list / du): the list reads every package's bill of materials and sizes every
// file, which du does too.
#include "platform/CTaskController.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestSystem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kSoftware = 20;
constexpr int kPackagesPerSoftware = 2;
constexpr int kFilesPerPackage = 100000 / (kSoftware * kPackagesPerSoftware);

// The three drivers come first so that their extension paths and PPD files are part of the run.
const char* const kDrivers[][2] = {{"Inkjet Printer Driver", "Library/Printers/TORVA/InkjetPrinter2"},
                                   {"Page Printer Driver", "Library/Printers/TORVA/LaserPrinter"},
                                   {"PC-FAX Driver", "Library/Printers/TORVA/Fax"}};

// Six to eight levels below the package's own folder, a few dozen entries per folder, a few hundred
// bytes per file.
std::vector<PackageItem> packageItems(const std::string& folder, int seed) {
    std::vector<PackageItem> items;
    items.reserve(kFilesPerPackage);
    for (int i = 0; i < kFilesPerPackage; ++i) {
        const std::string path = folder + "/Contents/Resources/" + std::to_string(i % 7) + ".lproj/" +
                                 std::to_string(i % 23) + "/Items/" + std::to_string(i % 29) + "/file" +
                                 std::to_string(i) + ".dat";
        items.push_back(
            PackageItem::file(path, std::string(static_cast<size_t>(100 + (i * 7 + seed) % 900), 'x')));
    }
    return items;
}

SoftwareSpec benchSoftware(int index) {
    SoftwareSpec spec;
    std::vector<std::string> folders;
    const std::string number = std::to_string(index);
    if (index < static_cast<int>(std::size(kDrivers))) {
        spec.name = kDrivers[index][0];
        folders = {std::string(kDrivers[index][1]) + "/Filters", std::string(kDrivers[index][1]) + "/Models"};
    } else {
        spec.name = "Bench Utility " + number;
        folders = {"Applications/TORVA Bench " + number + ".app",
                   "Library/Application Support/TORVA/Bench " + number};
    }
    for (int p = 0; p < kPackagesPerSoftware; ++p) {
        SoftwarePackage package;
        package.spec.identifier = "com.torva.pkg.Bench" + number + "." + std::to_string(p);
        package.spec.binaryReceipt = p == 1;
        package.spec.items = packageItems(folders[static_cast<size_t>(p)], index * 10 + p);
        spec.packages.push_back(std::move(package));
    }
    spec.removePaths =
        std::vector<std::string>{"/Library/Caches/com.torva.bench" + number + "*",
                                 "/Users/*/Library/Preferences/com.torva.bench" + number + ".plist"};
    spec.restPaths = std::vector<std::string>{"/Library/Application Support/TORVA/Common"};
    return spec;
}

// Installed once for the whole run.
struct InstalledSystem {
    TestSystem system;
    std::vector<std::string> duFolders;
    size_t files = 0;

    InstalledSystem() {
        system.writeSystemVersion("10.15.7");
        system.addUser("anna", 501);
        for (int s = 0; s < kSoftware; ++s) {
            const SoftwareSpec spec = benchSoftware(s);
            SoftwareFixture::install(system, spec);
            for (const SoftwarePackage& package : spec.packages) {
                files += package.spec.items.size();
            }
            system.writeFile("/Library/Caches/com.torva.bench" + std::to_string(s) + "/cache.db", "cache");
            system.writeFile("/Users/anna/Library/Preferences/com.torva.bench" + std::to_string(s) + ".plist",
                             "<plist/>");
        }
        SoftwareFixture::writePpd(system, "TORVA IJ-1200.ppd.gz",
                                  "application/vnd.cups-raster 0 rastertotorvaij",
                                  /*compressed=*/true);
        SoftwareFixture::writePpd(system, "TORVA HL-5400.ppd",
                                  "application/vnd.cups-raster 0 rastertotorvapage",
                                  /*compressed=*/false);
        duFolders = {system.host("/Library/Printers/TORVA"), system.host("/Applications"),
                     system.host("/Library/Application Support/TORVA")};
    }
};

InstalledSystem& installed() {
    static InstalledSystem system;
    return system;
}

void ListVersusDu(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    InstalledSystem& sample = installed();
    const std::string cli = std::string(UNINSTALLER_BUILD_BUNDLE) + "/Contents/MacOS/uninstaller-cli";
    std::vector<std::string> duArguments = {"-s"};
    duArguments.insert(duArguments.end(), sample.duFolders.begin(), sample.duFolders.end());
    Clock::duration listTime{};
    Clock::duration duTime{};
    for (auto _ : state) {
        const auto start = Clock::now();
        const std::optional<CTaskController::RunResult> list =
            CTaskController::run(cli, {"--root", sample.system.root(), "list"});
        const auto middle = Clock::now();
        const std::optional<CTaskController::RunResult> du = CTaskController::run("/usr/bin/du", duArguments);
        const auto end = Clock::now();
        // The two drivers share one row.
        if (!list || list->exitStatus != 0 ||
            std::count(list->output.begin(), list->output.end(), '\n') != kSoftware - 1 || !du ||
            du->exitStatus != 0) {
            state.SkipWithError("uninstaller-cli list or du failed");
            return;
        }
        listTime += middle - start;
        duTime += end - middle;
        state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
    }
    const double runs = static_cast<double>(state.iterations());
    const double listSeconds = std::chrono::duration<double>(listTime).count();
    const double duSeconds = std::chrono::duration<double>(duTime).count();
    state.counters["files"] = static_cast<double>(sample.files);
    state.counters["list_ms"] = listSeconds / runs * 1000;
    state.counters["du_ms"] = duSeconds / runs * 1000;
    state.counters["ratio"] = listSeconds / duSeconds;
}
// A run takes seconds; three of them, timed by the list alone, are enough to see the ratio.
BENCHMARK(ListVersusDu)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
