#include "tests/support/ChildProcess.h"

#include "platform/CTaskController.h"

#include <cstdlib>

namespace {

// The bundle under test: the one UNINSTALLER_BUNDLE names, else the one this build made.
std::string bundlePath() {
    const char* chosen = std::getenv("UNINSTALLER_BUNDLE");
    return chosen != nullptr && *chosen != '\0' ? chosen : UNINSTALLER_BUILD_BUNDLE;
}

} // namespace

std::string ChildProcess::cliPath() {
    return bundlePath() + "/Contents/MacOS/uninstaller-cli";
}

ChildProcess ChildProcess::cli(const std::vector<std::string>& arguments) {
    return run(cliPath(), arguments);
}

std::string ChildProcess::helperPath(const std::string& name) {
    return bundlePath() + "/Contents/Helpers/" + name;
}

ChildProcess ChildProcess::helper(const std::string& name, const std::vector<std::string>& arguments) {
    return run(helperPath(name), arguments);
}

ChildProcess ChildProcess::run(const std::string& program, const std::vector<std::string>& arguments) {
    ChildProcess result;
    CTaskController::RunOptions options;
    options.keepErrorOutput = true;
    std::optional<CTaskController::RunResult> ran = CTaskController::run(program, arguments, options);
    if (!ran) {
        result.err = "cannot start " + program;
        return result;
    }
    result.exitStatus = ran->exitStatus;
    result.out = std::move(ran->output);
    result.err = std::move(ran->errorOutput);
    return result;
}
