#include "engine/UnInstallSoftwareManager.h"

#include "engine/ProgressSink.h"
#include "platform/ProcessManager.h"
#include "platform/SystemRoot.h"
#include "platform/SystemVersion.h"

#include <algorithm>
#include <thread>

namespace {

constexpr const char* kPpdFolder = "/Library/Printers/PPDs/Contents/Resources";

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
    mReport.setListener([this](const EngineAction& action) {
        mAuditLog.write(mCurrentSoftware, action);
        if (mActionListener) {
            mActionListener(mCurrentSoftware, action);
        }
    });
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

std::vector<std::vector<size_t>>
UnInstallSoftwareManager::softwareInOrder(const std::vector<SoftwareInformationRecord>& records) {
    std::vector<std::string> names;
    std::vector<std::vector<size_t>> software;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!records[i].isMarkedForUninstall()) {
            continue;
        }
        const std::string name = displayName(records[i].applicationName);
        const auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end()) {
            names.push_back(name);
            software.push_back({i});
        } else {
            software[static_cast<size_t>(found - names.begin())].push_back(i);
        }
    }
    return software;
}

UnInstallSoftwareManager::TaskResult
UnInstallSoftwareManager::uninstallTask(std::vector<SoftwareInformationRecord>& records) {
    // Every ticked software is worked out before the first is touched: what one software's uninstall
    // does then never depends on what another's did, and the plan of a dry run is exactly what runs.
    const std::vector<std::vector<size_t>> software = softwareInOrder(records);
    std::vector<std::optional<RecordPlan>> plans(records.size());
    for (const std::vector<size_t>& indexes : software) {
        for (const size_t i : indexes) {
            plans[i] = planRecord(records[i], i);
        }
    }
    for (size_t number = 0; number < software.size(); ++number) {
        // The least time counts per software as the user sees it, however many records it is made of.
        const auto deadline = std::chrono::steady_clock::now() + mMinimumDuration;
        mProgress.setProgressState(ProgressState::Clear, std::nullopt);
        mProgress.setProgressSoftware(plans[software[number].front()]->displayName, number + 1,
                                      software.size());
        for (const size_t i : software[number]) {
            mIsUninstallEnded = false;
            const RecordPlan& plan = *plans[i];
            mCurrentSoftware = plan.name;
            if (!stopSysytems(plan.stop)) {
                abortRun("its launch agents or login items could not be stopped");
                return TaskResult::Failed;
            }
            execCommand(plan.preUninstall, "pre-uninstall");
            if (!execUnInstall(plan.files, plan.folders, plan.links)) {
                abortRun("its files could not be deleted");
                return TaskResult::Failed;
            }
            execCommand(plan.postUninstall, "post-uninstall");
            if (!removeItems(plan.removal)) {
                abortRun("what it left outside its files could not be removed");
                return TaskResult::Failed;
            }
            mIsUninstallEnded = true;
        }
        std::this_thread::sleep_until(deadline);
        if (mProgress.getIsCancel()) {
            if (removeItem.getIsRemoveDockItem()) {
                rebootDock();
            }
            mFailureReason = "cancelled after " + mCurrentSoftware;
            mProgress.cancelProcess();
            return TaskResult::Cancelled;
        }
    }
    return software.empty() ? TaskResult::NothingTicked : TaskResult::Done;
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
    analyzePath.removeMUnInstallAllObjectArrayPath(PathKind::File);
    analyzePath.removeMUnInstallAllObjectArrayPath(PathKind::Folder);
    analyzePath.removeMUnInstallAllObjectArrayPath(PathKind::Link);
    for (const PackageInfoEntry& entry : record.packageInfo) {
        std::string bomPath;
        // A package whose bill of materials is gone adds nothing.
        if (const std::optional<std::string> installPoint =
                cmnFuncs.lookupReceipt(entry, systemversion::OSVersion(), bomPath)) {
            analyzePath.getUnInstallPath(bomPath, installPoint, std::string("/"));
        }
    }
    const std::vector<std::string> rest = AnalyzePathManager::addAllSoftwareRestPathList(
        analyzePath.addExtensionRestPathList(record.restPathList), mAllSoftwareRestPathListArray);
    const std::vector<std::string> remove =
        analyzePath.addExtensionRemovePathList(record.removePathList, record.applicationName);
    analyzePath.mergeRemovePath(remove, rest);
    analyzePath.removeSystemPath();
    // After the protected folders are out: PPD files are not screened against them.
    for (const std::string& name :
         analyzePath.getSoftwareNameAtCVInformation().value_or(std::vector<std::string>())) {
        if (CommonFunctions::isEqualStringCompare(record.applicationName, name)) {
            analyzePath.addRemovePPDFilePath(
                AnalyzePathManager::getPathList(std::string(kPpdFolder), std::string("TORVA"), std::nullopt));
        }
    }
    plan.files = analyzePath.getMUnInstallFilePathArray();
    plan.folders = FileRemover::sortedByLength(analyzePath.getMUnInstallFolderPathArray());
    plan.links = analyzePath.getMUnInstallLinkPathArray();
}

RecordPlan UnInstallSoftwareManager::planRecord(const SoftwareInformationRecord& record, size_t index) {
    RecordPlan plan;
    plan.index = index;
    plan.name = record.applicationName;
    plan.displayName = displayName(record.applicationName);
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
    buildRemovalLists(record, plan);

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
    for (const std::vector<size_t>& software : softwareInOrder(records)) {
        for (const size_t i : software) {
            plan.records.push_back(planRecord(records[i], i));
            changesDock = changesDock || plan.records.back().changesDock;
        }
    }
    if (changesDock && leavesHostAlone) {
        plan.skipped.push_back("restart Dock");
    }
    return plan;
}
