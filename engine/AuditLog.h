#pragma once

#include "platform/LogFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct EngineAction;
struct RunSummary;

/// The record administrators keep of every uninstall and restore: one JSON object per line, appended to
/// "/Library/Logs/Uninstaller.log" of the system being cleaned (or to a file of the administrator's
/// choice). The first line of a run says who ran what on which rows, then one line per action, and the
/// last line the result with its counts; every line carries the run's identifier.
///
/// The log is opened before anything is changed; it is only ever a plain file of its own (LogFile).
class AuditLog {
public:
    /// The system path of the log inside the system being cleaned.
    static constexpr const char* kDefaultPath = "/Library/Logs/Uninstaller.log";

    /// Who runs an uninstall or a restore and what was asked for: the first line of a run.
    struct RunStart {
        std::string runId;
        std::string step = "uninstall"; // "uninstall" or "restore"
        std::string target;             // what a restore reads: the backup
        std::string program;            // "uninstaller-cli", "uninstaller"
        std::string version;            // the program's version
        std::string interface;          // "cli", "window"
        uint32_t uid = 0;
        std::string user; // the login name of uid; "" when it has none
        std::string system;
        std::vector<std::string> rows;       // the rows the user named or ticked
        std::vector<std::string> takenAlong; // rows the Software Update drivers forced
        std::string backup;                  // the backup an uninstall writes; "" for none
    };

    /// Writes to a host file instead; nullopt goes back to the system's own log.
    void setHostFile(const std::optional<std::string>& hostFile) { mHostFile = hostFile; }
    bool hasHostFile() const { return mHostFile.has_value(); }

    /// Opens the log for a run; false (and problem() set) when it cannot be opened.
    bool open();

    /// The first line of a run; its identifier goes on every later line.
    void writeStart(const RunStart& start);

    /// Appends one action (of the software the action names, or of the whole run).
    void write(const EngineAction& action);

    /// The last line of a run: the result word, the counts, and the reason when it did not succeed.
    void writeEnd(const RunSummary& summary);

    /// Where the log is, for the user: the host file or the system path.
    std::string location() const { return mHostFile.value_or(kDefaultPath); }

    /// The first thing that went wrong, for the user.
    const std::optional<std::string>& problem() const { return mProblem; }

private:
    void append(const std::string& line);
    std::string head() const;

    std::optional<std::string> mHostFile;
    std::optional<LogFile> mFile;
    std::optional<std::string> mProblem;
    std::string mRunId;
    std::string mStep = "uninstall";
};
