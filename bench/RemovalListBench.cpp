// The removal lists and the installed size of one 50,000-file software (two packages, about thirty
// entries per folder) as the catalogue works them out, next to "du -s" over the same files in the same
// run: a printer driver, whose extension paths (its folder, icons, per-user folders) and PPD files are
// part of the work, and a utility. CPU time, median of the per-repetition ratios (lists and size / du).
#include "bench/BenchSystem.h"
#include "catalogue/StoreSoftwareInformationManager.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t kFiles = 50000;
constexpr int kRepetitions = 7;

struct InstalledSoftware {
    TestSystem system;
    std::vector<PackageInfoEntry> packages;
    std::vector<std::string> duFolders;
    SoftwarePaths paths;

    explicit InstalledSoftware(bool driver) {
        // The application's own data (its protected and extension paths) comes from the built bundle.
        ::setenv("UNINSTALLER_BUNDLE", UNINSTALLER_BUILD_BUNDLE, 1);
        system.writeSystemVersion("10.15.7");
        system.addUser("anna", 501);
        const std::vector<std::string> folders =
            driver ? std::vector<std::string>{"Library/Printers/TORVA/InkjetPrinter2/Filters",
                                              "Library/Printers/TORVA/InkjetPrinter2/Models"}
                   : std::vector<std::string>{"Applications/TORVA Bench.app",
                                              "Library/Application Support/TORVA/Bench"};
        for (size_t p = 0; p < folders.size(); ++p) {
            SoftwarePackage package;
            package.spec.identifier = "com.torva.pkg.Bench" + std::to_string(p);
            package.spec.items =
                bench::realisticItems(folders[p], kFiles / folders.size(), static_cast<int>(p));
            SoftwareFixture::install(system, {.name = "Bench", .packages = {package}});
            packages.push_back({package.spec.identifier, "-", "1.0", "Flat"});
        }
        if (driver) {
            for (int model = 0; model < 8; ++model) {
                system.writeFile("/Library/Printers/TORVA/Icons/Inkjet " + std::to_string(model) + ".icns",
                                 std::string(4096, 'i'));
                SoftwareFixture::writePpd(system, "TORVA IJ-" + std::to_string(1200 + model) + ".ppd.gz",
                                          "application/vnd.cups-raster 0 rastertotorvaij",
                                          /*compressed=*/true);
            }
            system.writeFile("/Users/anna/Library/Printers/TORVA/InkjetPrinter2/settings.plist", "<plist/>");
            paths = {std::string("Inkjet Printer Driver"), std::nullopt, std::nullopt};
            duFolders = {system.host("/Library/Printers/TORVA"),
                         system.host("/Library/Printers/PPDs/Contents/Resources"),
                         system.host("/Users/anna/Library/Printers")};
        } else {
            paths = {std::string("Bench Utility"),
                     std::vector<std::string>{"/Library/Caches/com.torva.bench*"},
                     std::vector<std::string>{"/Library/Application Support/TORVA/Common"}};
            duFolders = {system.host("/Applications"), system.host("/Library/Application Support/TORVA")};
        }
    }
};

void RemovalListsAndSizeVersusDu(benchmark::State& state) {
    const bool driver = state.range(0) == 1;
    InstalledSoftware installed(driver);
    int64_t bytes = 0;
    auto lists = [&] {
        StoreSoftwareInformationManager store;
        bytes = store.getApplicationSize(installed.packages, installed.paths);
    };
    bench::Comparison comparison;
    for (auto _ : state) {
        comparison = bench::compareWithDu(lists, installed.duFolders, kRepetitions);
    }
    state.SetLabel(driver ? "printer driver" : "utility");
    state.counters["lists_cpu_ms"] = comparison.workMilliseconds;
    state.counters["du_cpu_ms"] = comparison.duMilliseconds;
    state.counters["ratio"] = comparison.medianRatio;
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(RemovalListsAndSizeVersusDu)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
