// "uninstaller-cli list" on realistic systems with 20 TORVA software (two packages each, the three
// printer drivers with their extension paths, icons and PPD files among them), next to "du -s" over the
// same files in the same run. Both are measured in CPU time; the figure is the median of the
// per-repetition ratios (list / du). The 10,000-file case shows the fixed cost per software.
#include "bench/BenchSystem.h"
#include "platform/CTaskController.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kSoftware = 20;
constexpr int kPackagesPerSoftware = 2;
constexpr int kRepetitions = 7;

struct Driver {
    const char* name;
    const char* folder;
    const char* icon;
};
const Driver kDrivers[] = {{"Inkjet Printer Driver", "Library/Printers/TORVA/InkjetPrinter2", "Inkjet"},
                           {"Page Printer Driver", "Library/Printers/TORVA/LaserPrinter", "PagePrinter"},
                           {"PC-FAX Driver", "Library/Printers/TORVA/Fax", "Fax"}};

SoftwareSpec benchSoftware(int index, size_t filesPerPackage) {
    SoftwareSpec spec;
    std::vector<std::string> folders;
    const std::string number = std::to_string(index);
    if (index < static_cast<int>(std::size(kDrivers))) {
        spec.name = kDrivers[index].name;
        folders = {std::string(kDrivers[index].folder) + "/Filters",
                   std::string(kDrivers[index].folder) + "/Models"};
    } else {
        spec.name = "Bench Utility " + number;
        folders = {"Applications/TORVA Bench " + number + ".app",
                   "Library/Application Support/TORVA/Bench " + number};
    }
    for (int p = 0; p < kPackagesPerSoftware; ++p) {
        SoftwarePackage package;
        package.spec.identifier = "com.torva.pkg.Bench" + number + "." + std::to_string(p);
        package.spec.binaryReceipt = p == 1;
        package.spec.items =
            bench::realisticItems(folders[static_cast<size_t>(p)], filesPerPackage, index * 10 + p);
        spec.packages.push_back(std::move(package));
    }
    spec.removePaths =
        std::vector<std::string>{"/Library/Caches/com.torva.bench" + number + "*",
                                 "/Users/*/Library/Preferences/com.torva.bench" + number + ".plist"};
    spec.restPaths = std::vector<std::string>{"/Library/Application Support/TORVA/Common"};
    return spec;
}

// One installed system of the given size.
struct InstalledSystem {
    TestSystem system;
    std::vector<std::string> duFolders;
    size_t files = 0;

    explicit InstalledSystem(size_t totalFiles) {
        system.writeSystemVersion("10.15.7");
        system.addUser("anna", 501);
        system.addUser("ben", 502);
        const size_t perPackage = totalFiles / (kSoftware * kPackagesPerSoftware);
        for (int s = 0; s < kSoftware; ++s) {
            const SoftwareSpec spec = benchSoftware(s, perPackage);
            SoftwareFixture::install(system, spec);
            files += perPackage * kPackagesPerSoftware;
            system.writeFile("/Library/Caches/com.torva.bench" + std::to_string(s) + "/cache.db", "cache");
            system.writeFile("/Users/anna/Library/Preferences/com.torva.bench" + std::to_string(s) + ".plist",
                             "<plist/>");
        }
        for (const Driver& driver : kDrivers) {
            for (int model = 0; model < 8; ++model) {
                system.writeFile(std::string("/Library/Printers/TORVA/Icons/") + driver.icon + " " +
                                     std::to_string(model) + ".icns",
                                 std::string(4096, 'i'));
            }
            system.writeFile(std::string("/Users/anna/") + driver.folder + "/settings.plist", "<plist/>");
        }
        for (int model = 0; model < 6; ++model) {
            SoftwareFixture::writePpd(system, "TORVA IJ-" + std::to_string(1200 + model) + ".ppd.gz",
                                      "application/vnd.cups-raster 0 rastertotorvaij", /*compressed=*/true);
            SoftwareFixture::writePpd(system, "TORVA HL-" + std::to_string(5400 + model) + ".ppd",
                                      "application/vnd.cups-raster 0 rastertotorvapage",
                                      /*compressed=*/false);
        }
        duFolders = {system.host("/Library/Printers/TORVA"), system.host("/Applications"),
                     system.host("/Library/Application Support/TORVA"),
                     system.host("/Library/Printers/PPDs/Contents/Resources")};
    }
};

void ListVersusDu(benchmark::State& state) {
    const InstalledSystem sample(static_cast<size_t>(state.range(0)));
    const std::string cli = std::string(UNINSTALLER_BUILD_BUNDLE) + "/Contents/MacOS/uninstaller-cli";
    bool listed = true;
    auto list = [&] {
        const auto run = CTaskController::run(cli, {"--root", sample.system.root(), "list"});
        // The inkjet and page drivers share one row.
        listed = listed && run && run->exitStatus == 0 &&
                 std::count(run->output.begin(), run->output.end(), '\n') == kSoftware - 1;
    };
    bench::Comparison comparison;
    for (auto _ : state) {
        comparison = bench::compareWithDu(list, sample.duFolders, kRepetitions);
    }
    if (!listed) {
        state.SkipWithError("uninstaller-cli list failed");
        return;
    }
    state.counters["files"] = static_cast<double>(sample.files);
    state.counters["list_cpu_ms"] = comparison.workMilliseconds;
    state.counters["du_cpu_ms"] = comparison.duMilliseconds;
    state.counters["ratio"] = comparison.medianRatio;
}
BENCHMARK(ListVersusDu)->Arg(100000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
