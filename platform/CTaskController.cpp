#include "platform/CTaskController.h"

#include "platform/ToolResolver.h"
#include "platform/UniqueFd.h"
#include "platform/Utf8.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace {

// Reads what is there; false at end of file or on error.
bool drain(int fd, std::string* sink) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (sink != nullptr) {
                sink->append(buffer, static_cast<size_t>(n));
            }
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 && errno == EAGAIN;
    }
}

struct SpawnActions {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    SpawnActions() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnActions() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
};

int exitStatusOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

// A started child with the read ends of its two output pipes.
struct Child {
    pid_t pid = 0;
    UniqueFd output;
    UniqueFd errors;
};

std::optional<Child> spawnChild(const std::string& hostProgram, const std::vector<std::string>& arguments,
                                const CTaskController::RunOptions& options) {
    const std::vector<int>& passedDescriptors = options.passedDescriptors;
    Child child;
    UniqueFd outWrite;
    UniqueFd errWrite;
    SpawnActions spawn;
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (options.discardOutput) {
        posix_spawn_file_actions_addopen(&spawn.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&spawn.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    } else {
        int outPipe[2];
        int errPipe[2];
        if (::pipe2(outPipe, O_CLOEXEC) != 0) {
            return std::nullopt;
        }
        child.output.reset(outPipe[0]);
        outWrite.reset(outPipe[1]);
        if (::pipe2(errPipe, O_CLOEXEC) != 0) {
            return std::nullopt;
        }
        child.errors.reset(errPipe[0]);
        errWrite.reset(errPipe[1]);
        posix_spawn_file_actions_adddup2(&spawn.actions, outWrite.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&spawn.actions, errWrite.get(), STDERR_FILENO);
    }
    if (options.workingFolder) {
        posix_spawn_file_actions_addchdir_np(&spawn.actions, options.workingFolder->c_str());
    }
    // Descriptors to pass are first copied above the ones they go to, so that no copy overwrites a
    // descriptor still to be passed; dup2 leaves the copies open across exec.
    std::vector<UniqueFd> staged;
    for (const int fd : passedDescriptors) {
        staged.emplace_back(::fcntl(fd, F_DUPFD_CLOEXEC, 3 + static_cast<int>(passedDescriptors.size())));
        if (!staged.back().valid()) {
            return std::nullopt;
        }
    }
    for (size_t i = 0; i < staged.size(); ++i) {
        posix_spawn_file_actions_adddup2(&spawn.actions, staged[i].get(), 3 + static_cast<int>(i));
    }
    // The child starts with default signal handling and nothing blocked, whatever this process set.
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&spawn.attributes, &noSignals);
    posix_spawnattr_setsigdefault(&spawn.attributes, &defaults);
    // A group of its own: a Ctrl-C at the terminal is for the program to answer, not for the tool in hand.
    posix_spawnattr_setpgroup(&spawn.attributes, 0);
    posix_spawnattr_setflags(&spawn.attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    const std::string& programName = options.programName ? *options.programName : hostProgram;
    argv.push_back(const_cast<char*>(programName.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> environment;
    if (options.environment) {
        for (const std::string& entry : *options.environment) {
            environment.push_back(const_cast<char*>(entry.c_str()));
        }
        environment.push_back(nullptr);
    }

    if (::posix_spawn(&child.pid, hostProgram.c_str(), &spawn.actions, &spawn.attributes, argv.data(),
                      options.environment ? environment.data() : environ) != 0) {
        return std::nullopt;
    }
    if (child.output.valid()) {
        ::fcntl(child.output.get(), F_SETFL, O_NONBLOCK);
        ::fcntl(child.errors.get(), F_SETFL, O_NONBLOCK);
    }
    return child;
}

// Milliseconds left before `deadline` for poll(2); -1 without a deadline.
int pollTimeout(const std::optional<std::chrono::steady_clock::time_point>& deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// Drains both streams until standard output ends and the child has exited, then reaps it.
CTaskController::RunResult collect(Child& child, const CTaskController::RunOptions& options) {
    CTaskController::RunResult result;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (options.timeLimit) {
        deadline = std::chrono::steady_clock::now() + *options.timeLimit;
    }
    UniqueFd exitWatch(static_cast<int>(::syscall(SYS_pidfd_open, child.pid, 0)));
    std::string* errorSink = options.keepErrorOutput ? &result.errorOutput : nullptr;
    bool exited = false;
    int status = 0;
    while (child.output.valid() || !exited) {
        pollfd fds[3];
        nfds_t count = 0;
        if (child.output.valid()) {
            fds[count++] = {child.output.get(), POLLIN, 0};
        }
        if (child.errors.valid()) {
            fds[count++] = {child.errors.get(), POLLIN, 0};
        }
        if (!child.output.valid() && exitWatch.valid()) {
            fds[count++] = {exitWatch.get(), POLLIN, 0};
        }
        // Without a way to watch the exit, look again every few milliseconds.
        int timeout = pollTimeout(deadline);
        if (!child.output.valid() && !exitWatch.valid()) {
            timeout = timeout < 0 ? 10 : std::min(timeout, 10);
        }
        const int ready = ::poll(fds, count, timeout);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (nfds_t i = 0; i < count && ready > 0; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (fds[i].fd == child.output.get() && !drain(child.output.get(), &result.output)) {
                child.output.reset();
            } else if (fds[i].fd == child.errors.get() && !drain(child.errors.get(), errorSink)) {
                child.errors.reset();
            }
        }
        if (!child.output.valid() && !exited) {
            const pid_t done = ::waitpid(child.pid, &status, WNOHANG);
            exited = done == child.pid || (done < 0 && errno == ECHILD);
        }
        if (!exited && deadline && std::chrono::steady_clock::now() >= *deadline) {
            ::kill(child.pid, SIGKILL);
            result.timedOut = true;
            break;
        }
    }
    if (!exited) {
        while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    // What the child wrote to standard error just before it ended is still in the pipe.
    while (errorSink != nullptr && child.errors.valid()) {
        pollfd errors{child.errors.get(), POLLIN, 0};
        if (::poll(&errors, 1, 0) <= 0 || !drain(child.errors.get(), errorSink)) {
            break;
        }
    }
    result.exitStatus = exitStatusOf(status);
    return result;
}

} // namespace

CTaskController& CTaskController::initTaskController() {
    static CTaskController shared;
    return shared;
}

bool CTaskController::exeCommandLine(const std::string& toolPath, const std::vector<std::string>& arguments,
                                     std::string* output) {
    RunOptions options;
    if (output != nullptr) {
        options.timeLimit = mQueryTimeLimit;
    }
    std::optional<RunResult> result = runTool(toolPath, arguments, options);
    if (output == nullptr) {
        // Callers that do not read the output count on YES, whatever happened.
        return true;
    }
    if (!result || result->timedOut || !utf8::isValid(result->output)) {
        return false;
    }
    *output = std::move(result->output);
    return true;
}

std::optional<CTaskController::RunResult> CTaskController::runTool(const std::string& toolPath,
                                                                   const std::vector<std::string>& arguments,
                                                                   const RunOptions& options) {
    const std::optional<std::string> program = ToolResolver::resolve(toolPath);
    if (!program) {
        return std::nullopt;
    }
    return run(*program, arguments, options);
}

std::optional<CTaskController::RunResult>
CTaskController::runSystemProgram(const std::string& programPath, const std::vector<std::string>& arguments,
                                  const RunOptions& options) {
    const std::optional<std::string> program = ToolResolver::resolveExactly(programPath);
    if (!program) {
        return std::nullopt;
    }
    return run(*program, arguments, options);
}

std::optional<CTaskController::RunResult> CTaskController::run(const std::string& hostProgram,
                                                               const std::vector<std::string>& arguments,
                                                               const RunOptions& options) {
    std::optional<Child> child = spawnChild(hostProgram, arguments, options);
    if (!child) {
        return std::nullopt;
    }
    return collect(*child, options);
}
