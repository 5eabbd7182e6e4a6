#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <optional>
#include <string>

/// An exclusive lock on the system being cleaned, so that two uninstalls never work on one system at
/// once: an flock on the system root's own folder, held for as long as the object lives and dropped by the
/// kernel when the process ends, however it ends. Locking the folder leaves nothing behind in the system.
class SystemLock {
public:
    /// Takes the lock, trying again until `wait` has passed. nullopt, with the reason in `error`, when
    /// another process still holds it or the root cannot be opened.
    static std::optional<SystemLock> acquire(std::chrono::milliseconds wait, std::string& error);

private:
    explicit SystemLock(UniqueFd fd) : mFd(std::move(fd)) {}

    UniqueFd mFd;
};
