#pragma once

#include <optional>
#include <string>
#include <vector>

/// Runs one external program from an argument vector (no shell) and collects its standard output.
///
/// The program is found by ToolResolver. The child gets /dev/null as standard input; its standard
/// output and standard error are both drained while it runs, so a child that writes much to standard
/// error cannot stall; what it writes there is discarded.
class CTaskController {
public:
    /// The process-wide runner.
    static CTaskController& initTaskController();

    /// Runs `toolPath` with `arguments`. With `output`: true and the output stored when the program
    /// ran and wrote valid UTF-8 (possibly nothing); false, `output` untouched, when it could not start
    /// or wrote anything else. Without `output`: the output is discarded and the answer is true, even
    /// when the program could not start. The exit status never changes the answer.
    bool exeCommandLine(const std::string& toolPath, const std::vector<std::string>& arguments,
                        std::string* output);

    /// What one run gave: nullopt when the program could not start, else its output and exit status.
    struct RunResult {
        std::string output;
        int exitStatus = -1;
    };

    /// Runs a host program (already resolved) and gives its raw output and exit status.
    static std::optional<RunResult> run(const std::string& hostProgram,
                                        const std::vector<std::string>& arguments);
};
