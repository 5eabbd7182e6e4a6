#pragma once

#include "analysis/AnalyzePathManager.h"
#include "catalogue/SoftwareInformationRecord.h"
#include "common/CommonFunctions.h"
#include "engine/ActionReport.h"
#include "engine/AnalyzeCommandManager.h"
#include "engine/AuditLog.h"
#include "engine/FileRemover.h"
#include "engine/HostActions.h"
#include "engine/RecordPlan.h"
#include "engine/RemoveItemManager.h"
#include "engine/RunSummary.h"
#include "engine/StopSystemManager.h"
#include "engine/UninstallPlan.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class BackupArchive;
class ProcessManager;
class ProgressSink;

/// The uninstall: asks the running applications to quit, then for every ticked software stops its
/// agents and login items, runs its screened pre-uninstall lines, deletes its files, links and folders,
/// runs its post-uninstall lines and removes its Dock tiles, login items, launch agents, uninstall
/// information file and receipts; restarts the Dock when a tile went. Nothing is rolled back.
///
/// What each software's uninstall does is worked out for all ticked software before the first is
/// touched (planUnInstall gives the same without doing anything), so that a dry run never differs from
/// the run. Every action goes to the audit log.
///
/// With a backup file, every item is written to it (and the file made durable) before it is removed or
/// edited, and the backup ends with a manifest of the run; once the backup cannot be written nothing more
/// is removed and the run fails.
///
/// A software whose own files or links could not all be removed keeps its information file and receipts,
/// so that it is still found and a second run can finish it; what was already gone counts as done. One
/// software's failure does not stop the others; the run's result is a failure when anything that was to
/// go is still there.
class UnInstallSoftwareManager {
public:
    /// The codes processUnInstall answers.
    static constexpr int32_t kDone = 0;
    static constexpr int32_t kCancelled = 1003;
    static constexpr int32_t kApplicationsStillRunning = 3000;
    static constexpr int32_t kFailed = 5000;

    /// `progress` and `processes` must outlive the driver.
    UnInstallSoftwareManager(ProgressSink& progress, ProcessManager& processes);
    ~UnInstallSoftwareManager();

    /// The least time one ticked software takes: 5 s by default (the window), 0 in the CLI and the tests.
    void setMinimumDuration(std::chrono::milliseconds duration) { mMinimumDuration = duration; }

    /// Where the audit log is appended: a host file, or nullopt (the default) for
    /// "/Library/Logs/Uninstaller.log" of the system being cleaned. A host file that cannot be opened
    /// refuses the run; the system's own log that cannot be opened is reported and the run goes on.
    void setAuditLogPath(const std::optional<std::string>& hostFile) { mAuditLog.setHostFile(hostFile); }

    /// Opens the audit log if it is not open yet (processUnInstall does it first thing): a front end that
    /// calls it before the run can tell the user at once; false, with auditLogProblem(), when it cannot.
    bool openAuditLog();

    /// Who runs the uninstall and what was asked for, for the first line of the audit log.
    struct RunOrigin {
        std::string program = "uninstaller";
        std::string version;
        std::string interface = "window"; // "cli" or "window"
        std::vector<std::string> rows;
        std::vector<std::string> takenAlong;
    };
    void setRunOrigin(RunOrigin origin) { mOrigin = std::move(origin); }

    /// Where the run writes the backup of what it removes or edits: a host file that must not exist yet, or
    /// nullopt (the default) for none. A backup that cannot be created refuses the run.
    void setBackupFile(std::optional<std::string> hostFile) { mBackupFile = std::move(hostFile); }

    /// How long a run waits for another uninstall of the same system to end before it is refused.
    void setLockWait(std::chrono::milliseconds wait) { mLockWait = wait; }

    /// The whole run over the catalogue's full records (ticked and unticked): 0 done, 3000 an application
    /// would not quit, 5000 failed or refused (also when nothing was ticked, the protected paths cannot
    /// be read, the log asked for cannot be opened, another uninstall holds the system, or a ticked
    /// software was refused: it is skipped whole and the others still run), and 1003 when the run ended
    /// because the user cancelled (after progress.cancelProcess() returned; no further record is
    /// touched). summary() tells the rest.
    int32_t processUnInstall(std::vector<SoftwareInformationRecord>* records);

    /// Why a run was refused before it changed anything.
    enum class Refusal {
        None,
        NothingTicked,
        ProtectedPathsUnreadable,
        LogUnopenable,      // the log file asked for cannot be opened
        SystemBusy,         // another uninstall holds the system
        ApplicationRunning, // an application would not quit
        BackupUnwritable,   // the backup file asked for cannot be created
    };
    Refusal refusal() const { return mRefusal; }

    /// The result and counts of the last run, software by software.
    const RunSummary& summary() const { return mSummary; }

    /// Where the audit log of the last run went, for the user.
    std::string auditLogLocation() const { return mAuditLog.location(); }

    /// The kept paths of all catalogued software; nullopt changes nothing.
    void setAllSoftwareRestPathListArray(const std::optional<std::vector<std::string>>& paths);

    /// false while a software is being uninstalled (and after a failure), true once it is done.
    bool getIsUninstallEnded() const { return mIsUninstallEnded; }

    /// What processUnInstall would do with the same records on the same tree, with nothing stopped, run
    /// or changed.
    UninstallPlan planUnInstall(const std::vector<SoftwareInformationRecord>& records);

    /// Every action of the last run, in order.
    const ActionReport& report() const { return mReport; }

    /// Called with every action of a run as it happens, once the audit log has it, with the software it
    /// belongs to ("" for the steps of the whole run). An empty function stops the calls.
    using ActionListener = std::function<void(const std::string& software, const EngineAction& action)>;
    void setActionListener(ActionListener listener) { mActionListener = std::move(listener); }

    /// The ticked records grouped by the software the progress names, in the order a run takes them:
    /// records shown under one name (the two printer drivers) one after the other at the place of the
    /// first, so that each software is announced once and a cancel falls between two software.
    static std::vector<std::vector<size_t>>
    softwareInOrder(const std::vector<SoftwareInformationRecord>& records);

    /// Why the last run was refused, failed or stopped, for the user; empty after a success.
    const std::string& failureReason() const { return mSummary.reason; }

    /// What kept the audit log from being written, if anything did.
    const std::optional<std::string>& auditLogProblem() const { return mAuditLog.problem(); }

    /// Fixes whether the steps that act on this machine run, whatever the system root is (tests with
    /// fake tools); nullopt decides by the root.
    void setHostAccess(std::optional<HostAccess> access);

    // --- The steps, as the run takes them ------------------------------------------------------------

    /// How the loop over the records ended (Done also when a software failed: summary() says).
    enum class TaskResult { Done, NothingTicked, Cancelled };

    /// The loop over the records with the plans of the ticked ones.
    TaskResult uninstallTask(std::vector<SoftwareInformationRecord>& records);
    /// Asks the running applications to quit; false when one would not.
    bool stopApplications();
    /// Stops the launch agents, then the login items.
    bool stopSysytems(const StopRequest& request);
    /// Runs the commands of the admitted lines of a script and reports the refused lines.
    void execCommand(const std::vector<AnalyzeCommandManager::Verdict>& lines, const std::string& step);
    /// Deletes files, links and folders (folders as FileRemover::sortedByLength orders them); false for
    /// an absent list.
    bool execUnInstall(const std::optional<std::vector<std::string>>& files,
                       const std::optional<std::vector<std::string>>& sortedFolders,
                       const std::optional<std::vector<std::string>>& links);
    /// Dock items, login items, launch agents, the receipts and the information file (unless ""), every
    /// step whatever the others gave, except that the information file stays with a receipt that could
    /// not be forgotten; with Records::Keep the receipts and the information file stay. false when a step
    /// failed.
    enum class Records { Remove, Keep };
    bool removeItems(const RemovalRequest& request, Records records = Records::Remove);
    /// Restarts the Dock, once per run at most.
    void rebootDock();

    /// The plan of one ticked record (the screening lists must have been built).
    RecordPlan planRecord(const SoftwareInformationRecord& record, size_t index);

    /// The name the progress shows for a software: "Printer Driver" for the two printer drivers.
    static std::string displayName(const std::string& applicationName);

private:
    bool protectedPathsReadable();
    void buildScreeningLists();
    void buildRemovalLists(const SoftwareInformationRecord& record, RecordPlan& plan);
    int32_t refuse(Refusal refusal, int32_t code, const std::string& reason);
    void uninstallOne(const RecordPlan& plan);
    void summarize(RunSummary::Result result, const std::string& reason);
    bool startBackup();
    // Ends the backup with the manifest of the run; says so in the report when the backup failed.
    void finishBackup();
    bool backupBroken() const;

    ProgressSink& mProgress;
    ProcessManager& mProcesses;
    StopSystemManager stopSystem;
    RemoveItemManager removeItem;
    AnalyzeCommandManager analyzeCommand;
    AnalyzePathManager analyzePath;
    bool mIsUninstallEnded = false;
    std::vector<std::string> mAllSoftwareRestPathListArray;
    CommonFunctions cmnFuncs;

    FileRemover mFileRemover;
    HostActions mHostActions;
    ActionReport mReport;
    AuditLog mAuditLog;
    std::chrono::milliseconds mMinimumDuration{5000};
    std::chrono::milliseconds mLockWait{5000};
    bool mScreeningListsBuilt = false;
    bool mDockRestarted = false;
    RunOrigin mOrigin;
    /// The ticked software of the run in the order it takes them, and how many it has got to.
    std::vector<RunSummary::Software> mTaken;
    size_t mReached = 0;
    bool mAuditLogOpened = false;
    Refusal mRefusal = Refusal::None;
    RunSummary mSummary;
    ActionListener mActionListener;
    std::optional<std::string> mBackupFile;
    std::unique_ptr<BackupArchive> mBackup;
    bool mBackupFailureReported = false;
};
