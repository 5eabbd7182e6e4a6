// How many short commands per second the command runner starts, next to posix_spawn + waitpid done
// directly. Both are timed in the same loop, one after the other, so that the machine's load touches
// both alike; the figure is the ratio (runner time / direct time).
#include "platform/CTaskController.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

void directSpawn(const char* program) {
    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

void RunnerVersusDirectSpawn(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    CTaskController& runner = CTaskController::initTaskController();
    Clock::duration runnerTime{};
    Clock::duration directTime{};
    std::string output;
    for (auto _ : state) {
        const auto start = Clock::now();
        runner.exeCommandLine("/bin/true", {}, &output);
        const auto middle = Clock::now();
        directSpawn("/bin/true");
        const auto end = Clock::now();
        runnerTime += middle - start;
        directTime += end - middle;
    }
    const double runs = static_cast<double>(state.iterations());
    const double runnerSeconds = std::chrono::duration<double>(runnerTime).count();
    const double directSeconds = std::chrono::duration<double>(directTime).count();
    state.counters["runner_per_s"] = runs / runnerSeconds;
    state.counters["direct_per_s"] = runs / directSeconds;
    state.counters["ratio"] = runnerSeconds / directSeconds;
}
BENCHMARK(RunnerVersusDirectSpawn)->MinTime(2.0)->Unit(benchmark::kMicrosecond);

} // namespace
