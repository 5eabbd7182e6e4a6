#include "platform/SystemLock.h"

#include "platform/SystemRoot.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <thread>

std::optional<SystemLock> SystemLock::acquire(std::chrono::milliseconds wait, std::string& error) {
    UniqueFd root = SystemRoot::openInRoot("/", O_RDONLY | O_DIRECTORY);
    if (!root.valid()) {
        error = std::string("the system's folder cannot be opened: ") + std::strerror(errno);
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(root.get(), LOCK_EX | LOCK_NB) == 0) {
            return SystemLock(std::move(root));
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = std::string("the system's folder cannot be locked: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = "another uninstall is working on this system";
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
