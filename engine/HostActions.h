#pragma once

#include "engine/CommandScreener.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class ActionReport;
struct EngineAction;

/// Whether the engine may act on the machine it runs on.
enum class HostAccess {
    Live,    // the system being cleaned is the running one (system root "/")
    Offline, // a system tree in another folder: nothing on this machine is touched
};

/// Whether the engine's parts carry out what they decide, or only decide it (the plan of an uninstall).
enum class ActionMode {
    Execute,
    DryRun, // nothing is deleted, written, forgotten or run; steps skipped offline are still reported
};

/// The steps of an uninstall that act on the machine the program runs on rather than on files of the
/// system being cleaned: platform tools such as killall, su, launchctl and chown by user name, and the
/// commands of script lines. They run when the system is the running one; otherwise each is decided all
/// the same and reported as skipped, with what would have run.
class HostActions {
public:
    /// Live with the system root "/", Offline with any other root, unless setAccess() chose.
    HostAccess access() const;
    bool isLive() const { return access() == HostAccess::Live; }

    /// Fixes the access whatever the root is (tests use fake tools in place of the real ones); nullopt
    /// goes back to deciding by the root.
    void setAccess(std::optional<HostAccess> access) { mAccess = access; }

    /// In a dry run nothing runs; on an offline system the steps are reported as skipped all the same.
    void setMode(ActionMode mode) { mMode = mode; }

    /// How long one command of a script line may run before it is stopped and counted as failed.
    void setScriptTimeLimit(std::chrono::seconds limit) { mScriptTimeLimit = limit; }
    ActionMode mode() const { return mMode; }

    /// Where the steps are reported; nothing is reported without one.
    void setReport(ActionReport* report) { mReport = report; }
    ActionReport* report() const { return mReport; }

    /// Runs a platform tool by its macOS path without asking for its output. `arguments` are what the
    /// report shows (system paths), `hostArguments` what the tool is given. The command runner's answer
    /// when it ran; true when it was skipped offline.
    bool runTool(const std::string& step, const std::string& toolPath,
                 const std::vector<std::string>& arguments, const std::vector<std::string>& hostArguments);

    /// Runs the commands of an admitted script line one after the other, each started with exactly its
    /// screened words (patterns expanded and every path screened again by `screener` right before it
    /// starts), from the folder "/" with /dev/null as input and output and nothing in its environment
    /// but PATH. A command after "&&" or "||" runs by the exit status of the one before. Each command is
    /// reported as run (with its exit status), refused, skipped or failed to start; an offline line is
    /// reported as skipped, as written.
    void runScriptLine(const std::string& step, const std::string& line,
                       const std::vector<CommandScreener::Command>& commands,
                       const CommandScreener& screener);

    /// Reports a step that is not a command (asking applications to quit, restarting the Dock) as
    /// skipped offline.
    void skip(const std::string& step, const std::string& target = {});

    /// How a step skipped offline is named in a plan: the script line as written, or the step and its
    /// arguments ("killall TORVA Status Monitor", "su anna").
    static std::string offlineStepText(const EngineAction& action);

private:
    std::optional<HostAccess> mAccess;
    ActionMode mMode = ActionMode::Execute;
    ActionReport* mReport = nullptr;
    // Longer than any command of an uninstall script needs (sleep included).
    std::chrono::seconds mScriptTimeLimit{120};
};
