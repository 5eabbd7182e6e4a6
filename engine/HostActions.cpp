#include "engine/HostActions.h"

#include "engine/ActionReport.h"
#include "platform/CTaskController.h"
#include "platform/SystemRoot.h"

namespace {

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

bool isScriptStep(const std::string& step) {
    return step == "pre-uninstall" || step == "post-uninstall";
}

// All a script command finds in its environment: nothing the shell or a loader reads at start.
const std::vector<std::string> kScriptEnvironment = {"PATH=/usr/bin:/bin:/usr/sbin:/sbin"};

// The exit status a command that could not start counts as, as a shell has it.
constexpr int kCouldNotStart = 127;
// … and one that was refused right before it would have started.
constexpr int kRefused = 126;

} // namespace

HostAccess HostActions::access() const {
    if (mAccess) {
        return *mAccess;
    }
    return SystemRoot::hostRoot() == "/" ? HostAccess::Live : HostAccess::Offline;
}

bool HostActions::runTool(const std::string& step, const std::string& toolPath,
                          const std::vector<std::string>& arguments,
                          const std::vector<std::string>& hostArguments) {
    if (!isLive()) {
        skip(step, joined(arguments));
        return true;
    }
    if (mMode == ActionMode::DryRun) {
        return true;
    }
    const bool answer =
        CTaskController::initTaskController().exeCommandLine(toolPath, hostArguments, nullptr);
    if (mReport != nullptr) {
        mReport->add(EngineAction::Outcome::Run, step, joined(arguments));
    }
    return answer;
}

void HostActions::runScriptLine(const std::string& step, const std::string& line,
                                const std::vector<CommandScreener::Command>& commands,
                                const CommandScreener& screener) {
    if (!isLive()) {
        skip(step, line);
        return;
    }
    if (mMode == ActionMode::DryRun) {
        return;
    }
    const auto record = [&](EngineAction::Outcome outcome, const std::string& target, std::string detail) {
        if (mReport != nullptr) {
            mReport->add(outcome, step, target, std::move(detail));
        }
    };
    int status = 0;
    for (const CommandScreener::Command& command : commands) {
        if ((command.joint == ScriptLine::Joint::IfSucceeded && status != 0) ||
            (command.joint == ScriptLine::Joint::IfFailed && status == 0)) {
            record(EngineAction::Outcome::Skipped, command.text(),
                   status == 0 ? "the command before it succeeded" : "the command before it failed");
            continue;
        }
        const CommandScreener::Prepared prepared = screener.prepare(command);
        if (prepared.refusal) {
            record(EngineAction::Outcome::Refused, command.text(), *prepared.refusal);
            status = kRefused;
            continue;
        }
        if (prepared.unmatched) {
            record(EngineAction::Outcome::Skipped, command.text(), "nothing matches " + *prepared.unmatched);
            status = 0;
            continue;
        }
        CTaskController::RunOptions options;
        options.discardOutput = true;
        options.environment = kScriptEnvironment;
        options.workingFolder = "/";
        options.programName = command.program;
        // A maker's command that never ends must not hold the uninstall, run as the super-user, for good.
        options.timeLimit = mScriptTimeLimit;
        const std::optional<CTaskController::RunResult> result =
            CTaskController::runSystemProgram(command.program, prepared.words, options);
        std::string ran = command.program;
        for (const std::string& word : prepared.words) {
            ran += " " + ScriptLine::quoted(word);
        }
        if (!result) {
            record(EngineAction::Outcome::Failed, ran, "the program could not be started");
            status = kCouldNotStart;
            continue;
        }
        status = result->exitStatus;
        if (result->timedOut) {
            record(EngineAction::Outcome::Failed, ran,
                   "stopped after " + std::to_string(mScriptTimeLimit.count()) + " s without ending");
            continue;
        }
        record(EngineAction::Outcome::Run, ran, "exit status " + std::to_string(status));
    }
}

void HostActions::skip(const std::string& step, const std::string& target) {
    if (mReport != nullptr) {
        mReport->add(EngineAction::Outcome::SkippedOffline, step, target);
    }
}

std::string HostActions::offlineStepText(const EngineAction& action) {
    if (isScriptStep(action.step) || action.target.empty()) {
        return action.target.empty() ? action.step : action.target;
    }
    return action.step + " " + action.target;
}
