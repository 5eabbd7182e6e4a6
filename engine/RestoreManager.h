#pragma once

#include "engine/ActionReport.h"
#include "engine/AuditLog.h"
#include "engine/BackupContents.h"
#include "engine/RunSummary.h"
#include "platform/ItemRestorer.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

/// Puts back into the system what an uninstall's backup holds.
///
/// The archive is read once from end to end before anything is written (BackupContents): an archive with a
/// member that no backup writes is refused whole. Then each member is restored by ItemRestorer, inside the
/// system root and never over or through a link, an item that exists now left alone unless asked; an
/// archive cut short (an uninstall killed while it wrote it) gives back every whole member before the cut.
/// Like an uninstall, a restore holds the system's lock, and every action goes to the audit log under a run
/// identifier of its own.
class RestoreManager {
public:
    /// Where the audit log is appended: a host file, or nullopt (the default) for the system's own log.
    void setAuditLogPath(const std::optional<std::string>& hostFile) { mAuditLog.setHostFile(hostFile); }

    /// Opens the audit log if it is not open yet; false, with auditLogProblem(), when it cannot.
    bool openAuditLog();

    /// Who runs the restore, for the first line of the audit log.
    void setRunOrigin(std::string program, std::string version, std::string interface);

    /// How long a restore waits for an uninstall or restore of the same system to end.
    void setLockWait(std::chrono::milliseconds wait) { mLockWait = wait; }

    /// Called with every action as it happens, once the audit log has it.
    void setActionListener(ActionReport::Listener listener) { mActionListener = std::move(listener); }

    /// Why a restore did not start; nothing was written then.
    enum class Refusal {
        None,
        LogUnopenable, // the log file asked for cannot be opened
        SystemBusy,    // an uninstall or restore holds the system
        Unreadable,    // the archive cannot be opened or is no archive at all
        Foreign,       // it holds a member that no backup writes
    };

    /// Restores the archive at a host path: Done when every member is back or was there already, Failed
    /// when one could not be restored, was refused, or the archive stops early, Refused when nothing was
    /// tried (refusal() says why). summary() tells the rest.
    RunSummary::Result restore(const std::string& archiveFile, ItemRestorer::Replace replace);

    Refusal refusal() const { return mRefusal; }
    const RunSummary& summary() const { return mSummary; }
    const ActionReport& report() const { return mReport; }
    /// The manifest of the archive restored, when it has one.
    const std::optional<BackupManifest>& manifest() const { return mManifest; }
    std::string auditLogLocation() const { return mAuditLog.location(); }
    const std::optional<std::string>& auditLogProblem() const { return mAuditLog.problem(); }

private:
    RunSummary::Result refuse(Refusal refusal, const std::string& reason);
    RunSummary::Result summarize(const std::string& damage);

    AuditLog mAuditLog;
    bool mAuditLogOpened = false;
    ActionReport mReport;
    ActionReport::Listener mActionListener;
    std::string mProgram = "uninstaller-cli";
    std::string mVersion;
    std::string mInterface = "cli";
    std::chrono::milliseconds mLockWait{5000};
    Refusal mRefusal = Refusal::None;
    RunSummary mSummary;
    std::optional<BackupManifest> mManifest;
};
