#include "engine/HostActions.h"

#include "engine/ActionReport.h"
#include "platform/CTaskController.h"
#include "platform/ShellCommand.h"
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
    return step == "pre-uninstall" || step == "post-uninstall" || step == "shell";
}

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

void HostActions::runShellLine(const std::string& step, const std::string& line) {
    if (!isLive()) {
        skip(step, line);
        return;
    }
    if (mMode == ActionMode::DryRun) {
        return;
    }
    const std::optional<int> status = ShellCommand::run(line);
    if (mReport == nullptr) {
        return;
    }
    if (status) {
        mReport->add(EngineAction::Outcome::Run, step, line, "exit status " + std::to_string(*status));
    } else {
        mReport->add(EngineAction::Outcome::Failed, step, line, "the shell could not start");
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
