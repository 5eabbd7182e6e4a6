// "uninstaller-cli uninstall --yes" of a 50,000-file software on a whole system (the search and the
// catalogue with its sizes, the plan, the deletion, the receipts and the log) next to "rm -rf" of the
// same files in an identical copy, in the same run. Each iteration restores both first (not timed);
// the figure is the median of the per-iteration ratios (uninstall / rm). The same with --backup, next to
// "tar -cf" of the same files followed by "rm -rf".
#include "bench/BenchSoftware.h"
#include "platform/CTaskController.h"
#include "tests/support/ChildProcess.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

struct InstalledSystem {
    TestSystem system;
    std::string templateFolder;
    std::string copyFolder;
    std::string logFile;

    InstalledSystem() {
        ::setenv("UNINSTALLER_BUNDLE", UNINSTALLER_BUILD_BUNDLE, 1);
        BenchSoftware::install(system);
        templateFolder = makeTemporaryFolder("uninstaller-bench-system");
        copyFolder = makeTemporaryFolder("uninstaller-bench-copy");
        logFile = copyFolder + "/audit.log";
        BenchSoftware::copyTree(system.root() + "/.", templateFolder);
    }

    ~InstalledSystem() {
        BenchSoftware::removeTree(templateFolder);
        BenchSoftware::removeTree(copyFolder);
    }

    void restore() const {
        BenchSoftware::removeTree(system.root());
        BenchSoftware::copyTree(templateFolder, system.root());
        BenchSoftware::removeTree(copyFolder + "/Bench");
        BenchSoftware::copyTree(templateFolder + BenchSoftware::kFolder, copyFolder + "/Bench");
        CTaskController::run("/bin/sync", {});
    }
};

// One system for both benchmarks: making it takes longer than they run.
InstalledSystem& installedSystem() {
    static InstalledSystem installed;
    return installed;
}

void UninstallCommandVersusRmRf(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const InstalledSystem& installed = installedSystem();
    std::vector<double> ratios;
    double uninstallSeconds = 0;
    double rmSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        installed.restore();
        state.ResumeTiming();
        const auto start = Clock::now();
        const ChildProcess run = ChildProcess::cli({"--root", installed.system.root(), "uninstall", "--yes",
                                                    "--log", installed.logFile, "Bench Driver"});
        const auto middle = Clock::now();
        BenchSoftware::removeTree(installed.copyFolder + "/Bench");
        const auto end = Clock::now();
        if (run.exitStatus != 0 || installed.system.exists(BenchSoftware::kFolder)) {
            state.SkipWithError(("the uninstall did not remove the software: " + run.err).c_str());
            break;
        }
        const double uninstall = std::chrono::duration<double>(middle - start).count();
        const double rm = std::chrono::duration<double>(end - middle).count();
        uninstallSeconds += uninstall;
        rmSeconds += rm;
        ratios.push_back(uninstall / rm);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["uninstall_ms"] = uninstallSeconds / runs * 1000;
    state.counters["rm_ms"] = rmSeconds / runs * 1000;
    state.counters["ratio"] = BenchSoftware::median(ratios);
}
BENCHMARK(UninstallCommandVersusRmRf)->Unit(benchmark::kMillisecond)->Iterations(5);

void UninstallWithBackupVersusTarAndRmRf(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const InstalledSystem& installed = installedSystem();
    const std::string backup = installed.copyFolder + "/backup.tar";
    const std::string tarFile = installed.copyFolder + "/tar.tar";
    std::vector<double> ratios;
    double uninstallSeconds = 0;
    double tarSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        installed.restore();
        std::remove(backup.c_str());
        std::remove(tarFile.c_str());
        state.ResumeTiming();
        const auto start = Clock::now();
        const ChildProcess run =
            ChildProcess::cli({"--root", installed.system.root(), "uninstall", "--yes", "--backup", backup,
                               "--log", installed.logFile, "Bench Driver"});
        const auto middle = Clock::now();
        const std::optional<CTaskController::RunResult> tar =
            CTaskController::run("/bin/tar", {"-cf", tarFile, "-C", installed.copyFolder, "Bench"});
        BenchSoftware::removeTree(installed.copyFolder + "/Bench");
        const auto end = Clock::now();
        if (run.exitStatus != 0 || installed.system.exists(BenchSoftware::kFolder) || !tar ||
            tar->exitStatus != 0) {
            state.SkipWithError(("the uninstall or tar failed: " + run.err).c_str());
            break;
        }
        const double uninstall = std::chrono::duration<double>(middle - start).count();
        const double reference = std::chrono::duration<double>(end - middle).count();
        uninstallSeconds += uninstall;
        tarSeconds += reference;
        ratios.push_back(uninstall / reference);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["uninstall_ms"] = uninstallSeconds / runs * 1000;
    state.counters["tar_rm_ms"] = tarSeconds / runs * 1000;
    state.counters["ratio"] = BenchSoftware::median(ratios);
}
BENCHMARK(UninstallWithBackupVersusTarAndRmRf)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
