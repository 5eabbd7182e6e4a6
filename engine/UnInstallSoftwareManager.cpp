#include "engine/UnInstallSoftwareManager.h"

#include "catalogue/PrinterDriverNames.h"
#include "engine/BackupManifest.h"
#include "engine/ProgressSink.h"
#include "platform/BackupArchive.h"
#include "platform/ProcessManager.h"
#include "platform/PropertyList.h"
#include "platform/SystemLock.h"
#include "platform/SystemRoot.h"
#include "platform/SystemVersion.h"
#include "platform/UserAccountManager.h"

#include <algorithm>
#include <ctime>
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
    mReport.setListener([this](const EngineAction& action) {
        mAuditLog.write(action);
        if (mActionListener) {
            mActionListener(action.software, action);
        }
    });
}

UnInstallSoftwareManager::~UnInstallSoftwareManager() = default;

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
    return printerdrivernames::displayName(applicationName);
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

namespace {

bool isOwnItemStep(const std::string& step) {
    return step == "file" || step == "link" || step == "folder";
}

} // namespace

int32_t UnInstallSoftwareManager::processUnInstall(std::vector<SoftwareInformationRecord>* records) {
    mReport.clear();
    mReport.setSoftware("");
    mRefusal = Refusal::None;
    mSummary = RunSummary();
    mSummary.runId = RunSummary::newRunId();
    mTaken.clear();
    mReached = 0;
    mDockRestarted = false;
    mBackup.reset();
    mBackupFailureReported = false;
    mFileRemover.setBackup(nullptr);
    removeItem.setBackup(nullptr);
    // Nothing is changed before the log can say so; a log the administrator named must be written.
    if (!openAuditLog() && mAuditLog.hasHostFile()) {
        return refuse(Refusal::LogUnopenable, kFailed, *mAuditLog.problem() + ", so nothing was changed");
    }
    const UserAccountManager::RunningAccount account = UserAccountManager::runningAccount();
    AuditLog::RunStart start;
    start.runId = mSummary.runId;
    start.program = mOrigin.program;
    start.version = mOrigin.version;
    start.interface = mOrigin.interface;
    start.uid = account.uid;
    start.user = account.name;
    start.system = SystemRoot::hostRoot();
    start.rows = mOrigin.rows;
    start.takenAlong = mOrigin.takenAlong;
    start.backup = mBackupFile.value_or("");
    mAuditLog.writeStart(start);
    if (records == nullptr) {
        return refuse(Refusal::NothingTicked, kFailed, "there is no software list");
    }
    std::string busy;
    const std::optional<SystemLock> lock = SystemLock::acquire(mLockWait, busy);
    if (!lock) {
        return refuse(Refusal::SystemBusy, kFailed, busy + ", so nothing was changed");
    }
    if (!protectedPathsReadable()) {
        const std::string reason =
            "the protected paths (CorvaneInformaiton.plist of the application) cannot be read, so "
            "nothing was stopped or deleted";
        mReport.add(EngineAction::Outcome::Failed, "protected paths", "CorvaneInformaiton.plist", reason);
        return refuse(Refusal::ProtectedPathsUnreadable, kFailed, reason);
    }
    if (!startBackup()) {
        return refuse(Refusal::BackupUnwritable, kFailed,
                      "the backup " + *mBackupFile + " cannot be written: " + mSummary.reason +
                          ", so nothing was changed");
    }
    if (!stopApplications()) {
        return refuse(Refusal::ApplicationRunning, kApplicationsStillRunning,
                      "an application did not quit, so nothing was removed");
    }
    buildScreeningLists();
    removeItem.setIsRemoveDockItem(false);
    mProgress.setProgressMinValue(0.0);
    mProgress.setProgressMaxValue(100.0);
    const TaskResult result = uninstallTask(*records);
    if (result == TaskResult::NothingTicked) {
        return refuse(Refusal::NothingTicked, kFailed, "no software was ticked");
    }
    if (result == TaskResult::Cancelled) {
        return kCancelled; // summarized before the sheet was told
    }
    if (removeItem.getIsRemoveDockItem()) {
        rebootDock();
    }
    summarize(RunSummary::Result::Done, "");
    return mSummary.result == RunSummary::Result::Done ? kDone : kFailed;
}

bool UnInstallSoftwareManager::openAuditLog() {
    if (!mAuditLogOpened) {
        mAuditLogOpened = true;
        mAuditLog.open();
    }
    return !mAuditLog.problem().has_value();
}

int32_t UnInstallSoftwareManager::refuse(Refusal refusal, int32_t code, const std::string& reason) {
    mRefusal = refusal;
    summarize(RunSummary::Result::Refused, reason);
    return code;
}

bool UnInstallSoftwareManager::startBackup() {
    if (!mBackupFile) {
        return true;
    }
    std::string error;
    mBackup = BackupArchive::create(*mBackupFile, error);
    if (!mBackup) {
        mReport.add(EngineAction::Outcome::Failed, "backup", *mBackupFile, error);
        mSummary.reason = error;
        return false;
    }
    mFileRemover.setBackup(mBackup.get());
    removeItem.setBackup(mBackup.get());
    return true;
}

bool UnInstallSoftwareManager::backupBroken() const {
    return mBackup != nullptr && mBackup->broken();
}

void UnInstallSoftwareManager::finishBackup() {
    if (mBackup == nullptr) {
        return;
    }
    mFileRemover.setBackup(nullptr);
    removeItem.setBackup(nullptr);
    if (!mBackup->broken()) {
        BackupManifest manifest;
        manifest.run = mSummary.runId;
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        char created[32];
        std::strftime(created, sizeof created, "%Y-%m-%dT%H:%M:%SZ", &utc);
        manifest.created = created;
        manifest.program = mOrigin.program;
        manifest.programVersion = mOrigin.version;
        manifest.systemRoot = SystemRoot::hostRoot();
        if (const std::optional<PlistValue> version =
                PropertyList::readDictionary("/System/Library/CoreServices/SystemVersion.plist")) {
            manifest.systemVersion = version->stringForKey("ProductVersion").value_or("");
        }
        manifest.rows = mOrigin.rows;
        manifest.takenAlong = mOrigin.takenAlong;
        manifest.items = mBackup->itemCount();
        manifest.edited = mBackup->edited();
        manifest.folderTimes = mBackup->folderTimes();
        mBackup->finish(manifest.toJson());
    }
    if (mBackup->broken() && !mBackupFailureReported) {
        mBackupFailureReported = true;
        mReport.setSoftware("");
        mReport.add(EngineAction::Outcome::Failed, "backup", mBackup->hostPath(),
                    mBackup->problem() + "; nothing more was removed");
    }
    mSummary.backupFile = mBackup->hostPath();
    mSummary.backedUp = mBackup->itemCount();
}

void UnInstallSoftwareManager::summarize(RunSummary::Result result, const std::string& reason) {
    finishBackup();
    mSummary.result = result;
    mSummary.reason = reason;
    mSummary.counts = {};
    mSummary.software = mTaken;
    for (size_t i = mReached; i < mSummary.software.size(); ++i) {
        mSummary.software[i].result = RunSummary::Result::Cancelled;
    }
    size_t at = 0;
    for (const EngineAction& action : mReport.actions()) {
        RunSummary::count(action, mSummary.counts);
        if (action.software.empty()) {
            continue;
        }
        // Actions come in the order the software was taken; two records may share a name.
        const auto found =
            std::find_if(mSummary.software.begin() + static_cast<std::ptrdiff_t>(at), mSummary.software.end(),
                         [&](const RunSummary::Software& s) { return s.name == action.software; });
        if (found == mSummary.software.end()) {
            mSummary.software.push_back(
                {action.software, displayName(action.software), RunSummary::Result::Done, {}, {}});
            at = mSummary.software.size() - 1;
        } else {
            at = static_cast<size_t>(found - mSummary.software.begin());
        }
        RunSummary::Software& software = mSummary.software[at];
        RunSummary::count(action, software.counts);
        if (action.outcome == EngineAction::Outcome::Failed) {
            software.result = RunSummary::Result::Failed;
            software.failures.push_back(action);
        } else if (action.outcome == EngineAction::Outcome::Refused && action.step == "software") {
            software.result = RunSummary::Result::Refused;
            software.failures.push_back(action);
        }
    }
    if (result != RunSummary::Result::Done) {
        mAuditLog.writeEnd(mSummary);
        return;
    }
    std::string refused;
    for (const RunSummary::Software& software : mSummary.software) {
        if (software.result == RunSummary::Result::Refused) {
            refused += (refused.empty() ? "" : "; ") + software.name + ": refused, " +
                       software.failures.front().detail;
        }
    }
    // The backup's own failure is the reason, not one of the items.
    const size_t backupFailures = mBackupFailureReported ? 1 : 0;
    if (mSummary.counts.failed > 0 || !refused.empty()) {
        mSummary.result = RunSummary::Result::Failed;
        mSummary.reason = refused;
        if (backupFailures > 0) {
            mSummary.reason += (mSummary.reason.empty() ? "" : "; ") + std::string("the backup ") +
                               mBackup->hostPath() + " could not be written (" + mBackup->problem() +
                               "), so nothing more was removed";
        }
        if (mSummary.counts.failed > backupFailures) {
            mSummary.reason += (mSummary.reason.empty() ? "" : "; ") +
                               std::to_string(mSummary.counts.failed - backupFailures) + " of " +
                               std::to_string(mSummary.counts.total() - backupFailures) +
                               " items could not be removed";
        }
    }
    mAuditLog.writeEnd(mSummary);
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
            mTaken.push_back({plans[i]->name, plans[i]->displayName, RunSummary::Result::Done, {}, {}});
        }
    }
    std::string lastDone;
    for (size_t number = 0; number < software.size(); ++number) {
        // The least time counts per software as the user sees it, however many records it is made of.
        const auto deadline = std::chrono::steady_clock::now() + mMinimumDuration;
        mProgress.setProgressState(ProgressState::Clear, std::nullopt);
        mProgress.setProgressSoftware(plans[software[number].front()]->displayName, number + 1,
                                      software.size());
        for (const size_t i : software[number]) {
            mIsUninstallEnded = false;
            const RecordPlan& plan = *plans[i];
            mReport.setSoftware(plan.name);
            if (plan.isRefused()) {
                // Skipped whole; the others still run, and the run ends as a failure.
                mReport.add(EngineAction::Outcome::Refused, "software", plan.name, plan.refusalText());
            } else {
                uninstallOne(plan);
            }
            mReport.setSoftware("");
            ++mReached;
            lastDone = plan.displayName;
            mIsUninstallEnded = true;
            if (backupBroken()) {
                return TaskResult::Done; // nothing more may be removed; the summary says why
            }
        }
        std::this_thread::sleep_until(deadline);
        if (mProgress.getIsCancel()) {
            if (removeItem.getIsRemoveDockItem()) {
                rebootDock();
            }
            // The log's last line is written before the sheet is told, which may end the program.
            summarize(RunSummary::Result::Cancelled,
                      lastDone.empty() ? "cancelled" : "cancelled after " + lastDone);
            mProgress.cancelProcess();
            return TaskResult::Cancelled;
        }
    }
    return software.empty() ? TaskResult::NothingTicked : TaskResult::Done;
}

void UnInstallSoftwareManager::uninstallOne(const RecordPlan& plan) {
    if (!stopSysytems(plan.stop)) {
        mReport.add(EngineAction::Outcome::Failed, "stop", plan.name,
                    "its launch agents or login items could not be stopped, so nothing of it was removed");
        return;
    }
    execCommand(plan.preUninstall, "pre-uninstall");
    for (const ProtectedItem& item : plan.protectedItems) {
        mReport.add(EngineAction::Outcome::Skipped, "protected", item.path, item.reason);
    }
    const size_t before = mReport.actions().size();
    execUnInstall(plan.files, plan.folders, plan.links);
    if (backupBroken()) {
        return;
    }
    const std::vector<EngineAction>& actions = mReport.actions();
    const bool ownItemsLeft = std::any_of(
        actions.begin() + static_cast<std::ptrdiff_t>(before), actions.end(), [](const EngineAction& action) {
            return action.outcome == EngineAction::Outcome::Failed && isOwnItemStep(action.step);
        });
    execCommand(plan.postUninstall, "post-uninstall");
    removeItems(plan.removal, ownItemsLeft ? Records::Keep : Records::Remove);
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
    const CommandScreener screener =
        analyzeCommand.screener(analyzePath.individualPathList(), analyzePath.lowerLayerPathList());
    for (const AnalyzeCommandManager::Verdict& verdict : lines) {
        if (verdict.admitted) {
            mHostActions.runScriptLine(step, verdict.line, verdict.commands, screener);
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

bool UnInstallSoftwareManager::removeItems(const RemovalRequest& request, Records records) {
    bool ok = removeItem.removeDockItems(request.dockItems);
    ok = removeItem.removeLoginWindows(request.loginWindows) && ok;
    ok = removeItem.removeLaunchAgents(request.launchAgents) && ok;
    if (backupBroken()) {
        return false;
    }
    // Software known only from its receipts has no information file.
    const bool hasInformationFile = request.uninstallPList && !request.uninstallPList->empty();
    if (records == Records::Keep) {
        // What finds the software again stays, so that a second run can finish what this one could not.
        if (removeItem.hostActions().mode() == ActionMode::Execute) {
            const std::string why = "kept, since some of its files could not be removed";
            if (hasInformationFile) {
                mReport.add(EngineAction::Outcome::Skipped, "information file", *request.uninstallPList, why);
            }
            for (const PackageInfoEntry& entry :
                 request.receiptsInfo.value_or(std::vector<PackageInfoEntry>())) {
                mReport.add(EngineAction::Outcome::Skipped, "receipt", entry.packageIdentifier, why);
            }
        }
        return ok;
    }
    // The receipts go before the information file: when one cannot be forgotten, the file that finds
    // the software stays with it.
    const bool receiptsGone = removeItem.removeReceipts(request.receiptsInfo);
    if (hasInformationFile && !backupBroken()) {
        if (receiptsGone) {
            ok = removeItem.removeUnInstallPList(request.uninstallPList) && ok;
        } else if (removeItem.hostActions().mode() == ActionMode::Execute) {
            mReport.add(EngineAction::Outcome::Skipped, "information file", *request.uninstallPList,
                        "kept, since a receipt of it could not be forgotten");
        }
    }
    return receiptsGone && ok;
}

void UnInstallSoftwareManager::rebootDock() {
    if (!mDockRestarted) {
        stopSystem.rebootDockSystem();
        mDockRestarted = true;
    }
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
