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

} // namespace

CTaskController& CTaskController::initTaskController() {
    static CTaskController shared;
    return shared;
}

bool CTaskController::exeCommandLine(const std::string& toolPath, const std::vector<std::string>& arguments,
                                     std::string* output) {
    std::optional<std::string> program = ToolResolver::resolve(toolPath);
    std::optional<RunResult> result;
    if (program) {
        result = run(*program, arguments);
    }
    if (output == nullptr) {
        // Callers that do not read the output count on YES, whatever happened.
        return true;
    }
    if (!result || !utf8::isValid(result->output)) {
        return false;
    }
    *output = std::move(result->output);
    return true;
}

std::optional<CTaskController::RunResult> CTaskController::run(const std::string& hostProgram,
                                                               const std::vector<std::string>& arguments) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd outRead(outPipe[0]);
    UniqueFd outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd errRead(errPipe[0]);
    UniqueFd errWrite(errPipe[1]);

    SpawnActions spawn;
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&spawn.actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&spawn.actions, errWrite.get(), STDERR_FILENO);
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
    posix_spawnattr_setflags(&spawn.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(hostProgram.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (::posix_spawn(&pid, hostProgram.c_str(), &spawn.actions, &spawn.attributes, argv.data(), environ) !=
        0) {
        return std::nullopt;
    }
    outWrite.reset();
    errWrite.reset();
    ::fcntl(outRead.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(errRead.get(), F_SETFL, O_NONBLOCK);
    UniqueFd exitWatch(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));

    RunResult result;
    bool exited = false;
    int status = 0;
    // Until standard output ends, and then until the child has exited, keep standard error drained.
    while (outRead.valid() || !exited) {
        pollfd fds[3];
        nfds_t count = 0;
        if (outRead.valid()) {
            fds[count++] = {outRead.get(), POLLIN, 0};
        }
        if (errRead.valid()) {
            fds[count++] = {errRead.get(), POLLIN, 0};
        }
        const bool watchExit = !outRead.valid() && exitWatch.valid();
        if (watchExit) {
            fds[count++] = {exitWatch.get(), POLLIN, 0};
        }
        if (!outRead.valid() && !exitWatch.valid() && !errRead.valid()) {
            // No way to watch the exit: both streams have ended, so the child is on its way out.
            exited = ::waitpid(pid, &status, 0) == pid;
            break;
        }
        const int timeout = (!outRead.valid() && !exitWatch.valid()) ? 10 : -1;
        const int ready = ::poll(fds, count, timeout);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (nfds_t i = 0; i < count && ready > 0; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (fds[i].fd == outRead.get()) {
                if (!drain(outRead.get(), &result.output)) {
                    outRead.reset();
                }
            } else if (fds[i].fd == errRead.get()) {
                if (!drain(errRead.get(), nullptr)) {
                    errRead.reset();
                }
            }
        }
        if (!outRead.valid() && !exited) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            exited = done == pid || (done < 0 && errno == ECHILD);
        }
    }
    if (!exited) {
        ::waitpid(pid, &status, 0);
    }
    result.exitStatus = exitStatusOf(status);
    return result;
}
