#pragma once

#include "platform/LogFile.h"

#include <optional>
#include <string>

struct EngineAction;

/// The record administrators keep of every uninstall: one JSON object per line with the time, the
/// software and one action with its outcome, appended to "/Library/Logs/Uninstaller.log" of the system
/// being cleaned (or to a file of the administrator's choice).
///
/// A log that cannot be written never stops an uninstall; problem() says what went wrong.
class AuditLog {
public:
    /// The system path of the log inside the system being cleaned.
    static constexpr const char* kDefaultPath = "/Library/Logs/Uninstaller.log";

    /// Writes to a host file instead; nullopt goes back to the system's own log.
    void setHostFile(const std::optional<std::string>& hostFile) { mHostFile = hostFile; }

    /// Opens the log for a run; false (and problem() set) when it cannot be opened.
    bool open();

    /// Appends one action of a software ("" for steps of the whole run).
    void write(const std::string& software, const EngineAction& action);

    /// Appends a line about the run itself: its start ("started") or its result code ("ended").
    void writeRun(const std::string& event, const std::string& detail);

    /// The first thing that went wrong, for the user.
    const std::optional<std::string>& problem() const { return mProblem; }

private:
    void append(const std::string& line);

    std::optional<std::string> mHostFile;
    std::optional<LogFile> mFile;
    std::optional<std::string> mProblem;
};
