#include "engine/UnInstallSoftwareManager.h"

#include "engine/ProgressSink.h"
#include "platform/ProcessManager.h"
#include "platform/SystemRoot.h"

#include <thread>

namespace {

// For the time a plan is worked out, a part's host steps are only decided, and reported elsewhere.
class DryRun {
public:
    DryRun(HostActions& actions, ActionReport* report)
        : mActions(actions), mReport(actions.report()), mMode(actions.mode()) {
        mActions.setReport(report);
        mActions.setMode(ActionMode::DryRun);
    }
    ~DryRun() {
        mActions.setReport(mReport);
        mActions.setMode(mMode);
    }
    DryRun(const DryRun&) = delete;
    DryRun& operator=(const DryRun&) = delete;

private:
    HostActions& mActions;
    ActionReport* mReport;
    ActionMode mMode;
};

} // namespace

UnInstallSoftwareManager::UnInstallSoftwareManager(ProgressSink& progress, ProcessManager& processes)
    : mProgress(progress), mProcesses(processes), stopSystem(processes) {
    stopSystem.hostActions().setReport(&mReport);
    removeItem.hostActions().setReport(&mReport);
    mHostActions.setReport(&mReport);
    mFileRemover.setReport(&mReport);
    mReport.setListener([this](const EngineAction& action) { mAuditLog.write(mCurrentSoftware, action); });
}

void UnInstallSoftwareManager::setHostAccess(std::optional<HostAccess> access) {
    stopSystem.hostActions().setAccess(access);
    removeItem.hostActions().setAccess(access);
    mHostActions.setAccess(access);
}

void UnInstallSoftwareManager::setAllSoftwareRestPathListArray(
    const std::optional<std::vector<std::string>>& paths) {
    if (paths) {
        mAllSoftwareRestPathListArray = *paths;
    }
}

std::string UnInstallSoftwareManager::displayName(const std::string& applicationName) {
    if (applicationName == "Inkjet Printer Driver" || applicationName == "Page Printer Driver & PS Driver") {
        return "Printer Driver";
    }
    return applicationName;
}

bool UnInstallSoftwareManager::protectedPathsReadable() {
    // Without them every script line would pass and every listed folder could go.
    return cmnFuncs.getCorvaneInfoRootDict().has_value() && !analyzePath.individualPathList().empty() &&
           !analyzePath.lowerLayerPathList().empty();
}

void UnInstallSoftwareManager::buildScreeningLists() {
    if (!mScreeningListsBuilt) {
        analyzeCommand.createBanCommandList();
        analyzeCommand.createLimitationCommandList();
        mScreeningListsBuilt = true;
    }
}

int32_t UnInstallSoftwareManager::processUnInstall(std::vector<SoftwareInformationRecord>* records) {
    mReport.clear();
    mFailureReason.clear();
    mCurrentSoftware.clear();
    if (records == nullptr) {
        mFailureReason = "there is no software list";
        return kFailed;
    }
    mAuditLog.open();
    mAuditLog.writeRun("started", "system " + SystemRoot::hostRoot());
    const auto finish = [&](int32_t code) {
        mAuditLog.writeRun("ended", std::to_string(code));
        return code;
    };
    if (!protectedPathsReadable()) {
        mFailureReason =
            "the protected paths (CorvaneInformaiton.plist of the application) cannot be read, so "
            "nothing was stopped or deleted";
        mReport.add(EngineAction::Outcome::Failed, "protected paths", "CorvaneInformaiton.plist",
                    mFailureReason);
        return finish(kFailed);
    }
    if (!stopApplications()) {
        mFailureReason = "an application did not quit, so nothing was removed";
        return finish(kApplicationsStillRunning);
    }
    buildScreeningLists();
    removeItem.setIsRemoveDockItem(false);
    mProgress.setProgressMinValue(0.0);
    mProgress.setProgressMaxValue(100.0);
    const TaskResult result = uninstallTask(*records);
    mCurrentSoftware.clear();
    if (result == TaskResult::Cancelled) {
        return finish(kCancelled);
    }
    if (removeItem.getIsRemoveDockItem()) {
        rebootDock();
    }
    if (result == TaskResult::NothingTicked) {
        mFailureReason = "no software was ticked";
    }
    return finish(result == TaskResult::Done ? kDone : kFailed);
}

bool UnInstallSoftwareManager::abortRun(const std::string& reason) {
    if (removeItem.getIsRemoveDockItem()) {
        rebootDock();
    }
    std::string detail = reason;
    const std::vector<EngineAction> failures = mReport.actionsWith(EngineAction::Outcome::Failed);
    if (!failures.empty()) {
        const EngineAction& last = failures.back();
        detail +=
            ": " + last.step + " " + last.target + (last.detail.empty() ? "" : " (" + last.detail + ")");
    }
    mFailureReason = mCurrentSoftware + ": " + detail;
    return false;
}

UnInstallSoftwareManager::TaskResult
UnInstallSoftwareManager::uninstallTask(std::vector<SoftwareInformationRecord>& records) {
    // Every ticked software is worked out before the first is touched: what one software's uninstall
    // does then never depends on what another's did, and the plan of a dry run is exactly what runs.
    std::vector<std::optional<RecordPlan>> plans(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].isMarkedForUninstall()) {
            plans[i] = planRecord(records[i], i);
        }
    }
    bool anyTicked = false;
    std::vector<std::string> refusals;
    for (size_t i = 0; i < records.size(); ++i) {
        mIsUninstallEnded = false;
        if (records[i].isMarkedForUninstall() && i < plans.size() && plans[i] && plans[i]->isRefused()) {
            // Skipped whole; the others still run, and the run ends as a failure.
            anyTicked = true;
            mCurrentSoftware = plans[i]->name;
            mReport.add(EngineAction::Outcome::Refused, "software", plans[i]->name, plans[i]->refusalText());
            refusals.push_back(plans[i]->name + ": refused, " + plans[i]->refusalText());
        } else if (records[i].isMarkedForUninstall() && i < plans.size() && plans[i]) {
            anyTicked = true;
            const RecordPlan& plan = *plans[i];
            const auto deadline = std::chrono::steady_clock::now() + mMinimumDuration;
            mProgress.setProgressState(ProgressState::Clear, std::nullopt);
            mProgress.setProgressState(ProgressState::Uninstall, plan.displayName);
            mCurrentSoftware = plan.name;
            if (!stopSysytems(plan.stop)) {
                abortRun("its launch agents or login items could not be stopped");
                return TaskResult::Failed;
            }
            execCommand(plan.preUninstall, "pre-uninstall");
            for (const ProtectedItem& item : plan.protectedItems) {
                mReport.add(EngineAction::Outcome::Skipped, "protected", item.path, item.reason);
            }
            if (!execUnInstall(plan.files, plan.folders, plan.links)) {
                abortRun("its files could not be deleted");
                return TaskResult::Failed;
            }
            execCommand(plan.postUninstall, "post-uninstall");
            if (!removeItems(plan.removal)) {
                abortRun("what it left outside its files could not be removed");
                return TaskResult::Failed;
            }
            std::this_thread::sleep_until(deadline);
        }
        mIsUninstallEnded = true;
        if (mProgress.getIsCancel()) {
            if (removeItem.getIsRemoveDockItem()) {
                rebootDock();
            }
            mFailureReason = "cancelled after " + mCurrentSoftware;
            mProgress.cancelProcess();
            return TaskResult::Cancelled;
        }
    }
    if (!refusals.empty()) {
        mFailureReason.clear();
        for (const std::string& refusal : refusals) {
            mFailureReason += (mFailureReason.empty() ? "" : "; ") + refusal;
        }
        return TaskResult::Failed;
    }
    return anyTicked ? TaskResult::Done : TaskResult::NothingTicked;
}

bool UnInstallSoftwareManager::stopApplications() {
    return stopSystem.stopAllApplications();
}

bool UnInstallSoftwareManager::stopSysytems(const StopRequest& request) {
    if (!stopSystem.stopLaunchAgents(request.launchAgents)) {
        return false;
    }
    return stopSystem.stopLoginWindows(request.loginWindows);
}

void UnInstallSoftwareManager::execCommand(const std::vector<AnalyzeCommandManager::Verdict>& lines,
                                           const std::string& step) {
    for (const AnalyzeCommandManager::Verdict& verdict : lines) {
        if (verdict.admitted) {
            mHostActions.runShellLine(step, verdict.line);
        } else if (mHostActions.mode() == ActionMode::Execute) {
            mReport.add(EngineAction::Outcome::Refused, step, verdict.line, verdict.reason);
        }
    }
}

bool UnInstallSoftwareManager::execUnInstall(const std::optional<std::vector<std::string>>& files,
                                             const std::optional<std::vector<std::string>>& sortedFolders,
                                             const std::optional<std::vector<std::string>>& links) {
    return mFileRemover.execUnInstall(files, sortedFolders, links);
}

bool UnInstallSoftwareManager::removeItems(const RemovalRequest& request) {
    if (!removeItem.removeDockItems(request.dockItems) ||
        !removeItem.removeLoginWindows(request.loginWindows) ||
        !removeItem.removeLaunchAgents(request.launchAgents)) {
        return false;
    }
    // Software known only from its receipts has no information file.
    if (request.uninstallPList && !request.uninstallPList->empty() &&
        !removeItem.removeUnInstallPList(request.uninstallPList)) {
        return false;
    }
    return removeItem.removeReceipts(request.receiptsInfo);
}

void UnInstallSoftwareManager::rebootDock() {
    stopSystem.rebootDockSystem();
}

void UnInstallSoftwareManager::buildRemovalLists(const SoftwareInformationRecord& record, RecordPlan& plan) {
    // With the kept paths of all software: nothing another installed software keeps goes with this one.
    analyzePath.buildRemovalLists(record.packageInfo,
                                  {record.applicationName, record.removePathList, record.restPathList},
                                  mAllSoftwareRestPathListArray);
    plan.refusedEntries = analyzePath.getMRefusedEntries();
    plan.protectedItems = analyzePath.getMProtectedItems();
    plan.files = analyzePath.getMUnInstallFilePathArray();
    plan.folders = FileRemover::sortedByLength(analyzePath.getMUnInstallFolderPathArray());
    plan.links = analyzePath.getMUnInstallLinkPathArray();
}

RecordPlan UnInstallSoftwareManager::planRecord(const SoftwareInformationRecord& record, size_t index) {
    RecordPlan plan;
    plan.index = index;
    plan.name = record.applicationName;
    plan.displayName = displayName(record.applicationName);
    buildRemovalLists(record, plan);
    if (plan.isRefused()) {
        return plan; // nothing of it is stopped, run or removed either
    }
    const std::vector<std::string>& individual = analyzePath.individualPathList();
    const std::vector<std::string>& lower = analyzePath.lowerLayerPathList();
    const std::optional<CustomScript>& script = record.customScript;
    plan.preUninstall =
        analyzeCommand.screen(script ? script->preUnInstall : std::nullopt, individual, lower);
    plan.postUninstall =
        analyzeCommand.screen(script ? script->postUnInstall : std::nullopt, individual, lower);
    plan.stop = {record.removeLoginWindowsItemList, record.removeLaunchAgentsItemList};
    plan.removal = {record.removeDockItemList, record.removeLoginWindowsItemList,
                    record.removeLaunchAgentsItemList, record.encodePListPath, record.packageInfo};

    // The steps that act on this machine, decided by the same code the run takes, in the run's order.
    ActionReport decided;
    {
        const DryRun stopping(stopSystem.hostActions(), &decided);
        stopSysytems(plan.stop);
    }
    {
        const DryRun scripts(mHostActions, &decided);
        execCommand(plan.preUninstall, "pre-uninstall");
        execCommand(plan.postUninstall, "post-uninstall");
    }
    {
        const DryRun removing(removeItem.hostActions(), &decided);
        const bool dockChanged = removeItem.getIsRemoveDockItem();
        removeItem.setIsRemoveDockItem(false);
        removeItems(plan.removal);
        plan.changesDock = removeItem.getIsRemoveDockItem();
        removeItem.setIsRemoveDockItem(dockChanged);
    }
    for (const EngineAction& action : decided.actionsWith(EngineAction::Outcome::SkippedOffline)) {
        plan.skipped.push_back(HostActions::offlineStepText(action));
    }
    return plan;
}

UninstallPlan UnInstallSoftwareManager::planUnInstall(const std::vector<SoftwareInformationRecord>& records) {
    UninstallPlan plan;
    if (!protectedPathsReadable()) {
        plan.refusal = "the protected paths (CorvaneInformaiton.plist of the application) cannot be read";
        return plan;
    }
    buildScreeningLists();
    const bool leavesHostAlone = !stopSystem.hostActions().isLive() && mProcesses.actsOnHost();
    if (leavesHostAlone) {
        plan.skipped.push_back("quit applications");
    }
    bool changesDock = false;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].isMarkedForUninstall()) {
            plan.records.push_back(planRecord(records[i], i));
            changesDock = changesDock || plan.records.back().changesDock;
        }
    }
    if (changesDock && leavesHostAlone) {
        plan.skipped.push_back("restart Dock");
    }
    return plan;
}
