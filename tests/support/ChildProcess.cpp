#include "tests/support/ChildProcess.h"

#include "platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::string ChildProcess::cliPath() {
    return std::string(UNINSTALLER_BUILD_BUNDLE) + "/Contents/MacOS/uninstaller-cli";
}

ChildProcess ChildProcess::cli(const std::vector<std::string>& arguments) {
    return run(cliPath(), arguments);
}

std::string ChildProcess::helperPath(const std::string& name) {
    return std::string(UNINSTALLER_BUILD_BUNDLE) + "/Contents/Helpers/" + name;
}

ChildProcess ChildProcess::helper(const std::string& name, const std::vector<std::string>& arguments) {
    return run(helperPath(name), arguments);
}

ChildProcess ChildProcess::run(const std::string& program, const std::vector<std::string>& arguments) {
    ChildProcess result;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (std::string& argument : argv) {
        raw.push_back(argument.data());
    }
    raw.push_back(nullptr);

    std::array<int, 2> outPipe{};
    std::array<int, 2> errPipe{};
    if (::pipe2(outPipe.data(), O_CLOEXEC) != 0 || ::pipe2(errPipe.data(), O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return result;
    }
    UniqueFd outRead(outPipe[0]);
    UniqueFd outWrite(outPipe[1]);
    UniqueFd errRead(errPipe[0]);
    UniqueFd errWrite(errPipe[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    outWrite.reset();
    errWrite.reset();
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(spawned);
        return result;
    }

    // Both streams are drained together, so a child that fills one pipe cannot stall.
    std::array<pollfd, 2> fds{pollfd{outRead.get(), POLLIN, 0}, pollfd{errRead.get(), POLLIN, 0}};
    std::array<std::string*, 2> sinks{&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
