#pragma once

/// How uninstaller-cli ends; the help text and the manual page list them from kExitStatusMeanings.
enum class ExitStatus : int {
    Done = 0,
    CannotRead = 1,
    Usage = 2,
    ApplicationsRunning = 3,
    NothingFound = 4,
    Failed = 5,
    Cancelled = 6,
};

/// One exit status with what it tells the caller.
struct ExitStatusMeaning {
    ExitStatus status;
    const char* meaning;
};

/// Every exit status, in order.
inline constexpr ExitStatusMeaning kExitStatusMeanings[] = {
    {ExitStatus::Done, "done"},
    {ExitStatus::CannotRead, "the system cannot be read"},
    {ExitStatus::Usage, "usage error, or a name no row has"},
    {ExitStatus::ApplicationsRunning, "an application would not quit"},
    {ExitStatus::NothingFound, "no TORVA software found"},
    {ExitStatus::Failed, "the uninstall or restore failed (the reason on standard error)"},
    {ExitStatus::Cancelled, "cancelled, or the question answered no"},
};

/// The number the process exits with.
constexpr int exitCode(ExitStatus status) {
    return static_cast<int>(status);
}
