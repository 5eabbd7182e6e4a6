#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

/// Runs one external program from an argument vector (no shell) and collects its standard output.
///
/// The program is found by ToolResolver. The child gets /dev/null as standard input; its standard
/// output and standard error are both drained while it runs, so a child that writes much to standard
/// error cannot stall.
class CTaskController {
public:
    /// The process-wide runner.
    static CTaskController& initTaskController();

    /// Runs `toolPath` with `arguments`. With `output`: true and the output stored when the program
    /// ran and wrote valid UTF-8 (possibly nothing); false, `output` untouched, when it could not start,
    /// wrote anything else, or had not ended within the query time limit (it is killed then). Without
    /// `output`: the output is discarded and the answer is true, even when the program could not start.
    /// The exit status never changes the answer.
    bool exeCommandLine(const std::string& toolPath, const std::vector<std::string>& arguments,
                        std::string* output);

    /// How long a command whose output is asked for (a query, such as ls of a folder a script names) may run.
    static constexpr std::chrono::minutes kDefaultQueryTimeLimit{10};
    void setQueryTimeLimit(std::chrono::milliseconds limit) { mQueryTimeLimit = limit; }
    std::chrono::milliseconds queryTimeLimit() const { return mQueryTimeLimit; }

    /// How run() treats the child.
    struct RunOptions {
        /// Keep what the child writes to standard error (otherwise it is read and dropped).
        bool keepErrorOutput = false;
        /// Kill the child (and count the run as timed out) when it has not ended by then.
        std::optional<std::chrono::milliseconds> timeLimit;
        /// Open descriptors the child gets as 3, 4, … in this order (for "/dev/fd/3" arguments).
        std::vector<int> passedDescriptors;
        /// Send standard output and standard error to /dev/null instead of reading them.
        bool discardOutput = false;
        /// The child's whole environment ("NAME=value" each); nullopt passes this process's own.
        std::optional<std::vector<std::string>> environment;
        /// The folder the child starts in; nullopt keeps this process's.
        std::optional<std::string> workingFolder;
        /// The child's own name (argv[0]); nullopt gives it the host path it was started from.
        std::optional<std::string> programName;
    };

    /// What one run gave.
    struct RunResult {
        std::string output;
        std::string errorOutput; ///< only with RunOptions::keepErrorOutput
        int exitStatus = -1;     ///< the exit code, or 128 + the signal that ended the child
        bool timedOut = false;   ///< killed at the time limit
    };

    /// Runs a host program (already resolved) and gives its raw output and exit status; nullopt when
    /// the program could not start.
    static std::optional<RunResult> run(const std::string& hostProgram,
                                        const std::vector<std::string>& arguments, const RunOptions& options);
    static std::optional<RunResult> run(const std::string& hostProgram,
                                        const std::vector<std::string>& arguments) {
        return run(hostProgram, arguments, RunOptions());
    }

    /// Runs a platform tool named by its macOS path (resolved as exeCommandLine does); nullopt when no
    /// program can be found or started.
    static std::optional<RunResult> runTool(const std::string& toolPath,
                                            const std::vector<std::string>& arguments,
                                            const RunOptions& options);

    /// Runs a program by the system's own path for it and nothing else (ToolResolver::resolveExactly);
    /// nullopt when there is no such program or it could not be started.
    static std::optional<RunResult> runSystemProgram(const std::string& programPath,
                                                     const std::vector<std::string>& arguments,
                                                     const RunOptions& options);

private:
    std::chrono::milliseconds mQueryTimeLimit = kDefaultQueryTimeLimit;
};
