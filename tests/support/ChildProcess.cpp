#include "tests/support/ChildProcess.h"

#include "platform/CTaskController.h"

#include <cerrno>
#include <cstdlib>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The bundle under test: the one UNINSTALLER_BUNDLE names, else the one this build made.
std::string bundlePath() {
    const char* chosen = std::getenv("UNINSTALLER_BUNDLE");
    return chosen != nullptr && *chosen != '\0' ? chosen : UNINSTALLER_BUILD_BUNDLE;
}

// Held in a function so that an observer set by a static initializer of a test program finds it made.
ChildProcess::CliObserver& cliObserver() {
    static ChildProcess::CliObserver observer;
    return observer;
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
    if (cliObserver() && program.ends_with("/uninstaller-cli")) {
        cliObserver()(arguments, result);
    }
    return result;
}

void ChildProcess::observeCli(CliObserver observer) {
    cliObserver() = std::move(observer);
}

ChildProcess ChildProcess::onTerminal(const std::string& program, const std::vector<std::string>& arguments,
                                      const std::string& input) {
    ChildProcess result;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) {
        result.err = "cannot open a terminal";
        return result;
    }
    if (pid == 0) {
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    // The terminal keeps what is typed until the program reads it.
    [[maybe_unused]] const ssize_t typed = ::write(terminal, input.data(), input.size());
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got > 0) {
            result.out.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break; // EIO once the program has gone
        }
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}
