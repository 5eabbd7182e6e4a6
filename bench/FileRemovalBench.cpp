// Deleting the removal lists of a 50,000-file software (files, links, then folders deepest first, every
// path walked from the system root without following links) next to "rm -rf" of an identical copy of
// the same tree in the same run. Each iteration restores both trees first (not timed); the figure is
// the median of the per-iteration ratios (lists / rm).
#include "analysis/AnalyzePathManager.h"
#include "bench/BenchSoftware.h"
#include "engine/FileRemover.h"
#include "platform/CTaskController.h"
#include "platform/SystemVersion.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

namespace {

struct InstalledBench {
    TestSystem system;
    std::string templateFolder;
    std::string copyFolder;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::vector<std::string> links;

    InstalledBench() {
        ::setenv("UNINSTALLER_BUNDLE", UNINSTALLER_BUILD_BUNDLE, 1);
        BenchSoftware::install(system);
        // The lists as the uninstall builds them from the packages' bills of materials.
        AnalyzePathManager analysis;
        CommonFunctions functions;
        for (const SoftwarePackage& package : BenchSoftware::spec().packages) {
            const PackageInfoEntry entry{package.spec.identifier, "-", "1.0", "Flat"};
            std::string bom;
            if (const std::optional<std::string> installPoint =
                    functions.lookupReceipt(entry, systemversion::OSVersion(), bom)) {
                analysis.getUnInstallPath(bom, installPoint, std::string("/"));
            }
        }
        analysis.removeSystemPath();
        files = analysis.getMUnInstallFilePathArray();
        folders = FileRemover::sortedByLength(analysis.getMUnInstallFolderPathArray());
        links = analysis.getMUnInstallLinkPathArray();
        templateFolder = makeTemporaryFolder("uninstaller-bench-template");
        copyFolder = makeTemporaryFolder("uninstaller-bench-copy");
        BenchSoftware::copyTree(system.host(BenchSoftware::kFolder), templateFolder + "/Bench");
    }

    ~InstalledBench() {
        BenchSoftware::removeTree(templateFolder);
        BenchSoftware::removeTree(copyFolder);
    }

    void restore() const {
        BenchSoftware::removeTree(system.host(BenchSoftware::kFolder));
        BenchSoftware::removeTree(copyFolder + "/Bench");
        // The lists delete /Library/Printers/TORVA too once it is empty.
        system.makeFolder("/Library/Printers/TORVA");
        BenchSoftware::copyTree(templateFolder + "/Bench", system.host(BenchSoftware::kFolder));
        BenchSoftware::copyTree(templateFolder + "/Bench", copyFolder + "/Bench");
        // Both copies on disk before either deletion starts.
        CTaskController::run("/bin/sync", {});
    }
};

void ExecUnInstallVersusRmRf(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    static InstalledBench installed;
    std::vector<double> ratios;
    double listSeconds = 0;
    double rmSeconds = 0;
    bool removerFirst = true;
    for (auto _ : state) {
        state.PauseTiming();
        installed.restore();
        state.ResumeTiming();
        const auto timeRemover = [&] {
            const auto start = Clock::now();
            FileRemover remover;
            remover.execUnInstall(installed.files, installed.folders, installed.links);
            return std::chrono::duration<double>(Clock::now() - start).count();
        };
        const auto timeRm = [&] {
            const auto start = Clock::now();
            BenchSoftware::removeTree(installed.copyFolder + "/Bench");
            return std::chrono::duration<double>(Clock::now() - start).count();
        };
        // Alternate which goes first, so that neither always meets the colder caches.
        double lists = 0;
        double rm = 0;
        if (removerFirst) {
            lists = timeRemover();
            rm = timeRm();
        } else {
            rm = timeRm();
            lists = timeRemover();
        }
        removerFirst = !removerFirst;
        if (installed.system.exists(BenchSoftware::kFolder)) {
            state.SkipWithError("the lists left files behind");
            break;
        }
        listSeconds += lists;
        rmSeconds += rm;
        ratios.push_back(lists / rm);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["lists_ms"] = listSeconds / runs * 1000;
    state.counters["rm_ms"] = rmSeconds / runs * 1000;
    state.counters["ratio"] = BenchSoftware::median(ratios);
    state.counters["files"] = static_cast<double>(installed.files.size());
    state.counters["folders"] = static_cast<double>(installed.folders.size());
}
BENCHMARK(ExecUnInstallVersusRmRf)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
