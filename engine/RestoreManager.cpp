#include "engine/RestoreManager.h"

#include "platform/BackupReader.h"
#include "platform/SystemLock.h"
#include "platform/SystemRoot.h"
#include "platform/UserAccountManager.h"

bool RestoreManager::openAuditLog() {
    if (!mAuditLogOpened) {
        mAuditLogOpened = true;
        mAuditLog.open();
    }
    return !mAuditLog.problem().has_value();
}

void RestoreManager::setRunOrigin(std::string program, std::string version, std::string interface) {
    mProgram = std::move(program);
    mVersion = std::move(version);
    mInterface = std::move(interface);
}

RunSummary::Result RestoreManager::refuse(Refusal refusal, const std::string& reason) {
    mRefusal = refusal;
    mSummary.result = RunSummary::Result::Refused;
    mSummary.reason = reason;
    for (const EngineAction& action : mReport.actions()) {
        RunSummary::count(action, mSummary.counts);
    }
    mAuditLog.writeEnd(mSummary);
    return mSummary.result;
}

RunSummary::Result RestoreManager::summarize(const std::string& damage) {
    size_t items = 0;
    size_t notBack = 0;
    for (const EngineAction& action : mReport.actions()) {
        RunSummary::count(action, mSummary.counts);
        if (action.step == "file" || action.step == "folder" || action.step == "link") {
            ++items;
            notBack += action.outcome == EngineAction::Outcome::Failed ||
                               action.outcome == EngineAction::Outcome::Refused
                           ? 1
                           : 0;
        }
    }
    if (notBack > 0 || !damage.empty()) {
        mSummary.result = RunSummary::Result::Failed;
        if (notBack > 0) {
            mSummary.reason =
                std::to_string(notBack) + " of " + std::to_string(items) + " items could not be restored";
        }
        if (!damage.empty()) {
            mSummary.reason += (mSummary.reason.empty() ? "" : "; ") + damage;
        }
    }
    mAuditLog.writeEnd(mSummary);
    return mSummary.result;
}

RunSummary::Result RestoreManager::restore(const std::string& archiveFile, ItemRestorer::Replace replace) {
    mReport.clear();
    mReport.setSoftware("");
    mReport.setListener([this](const EngineAction& action) {
        mAuditLog.write(action);
        if (mActionListener) {
            mActionListener(action);
        }
    });
    mRefusal = Refusal::None;
    mSummary = RunSummary();
    mSummary.runId = RunSummary::newRunId();
    mManifest.reset();
    if (!openAuditLog() && mAuditLog.hasHostFile()) {
        return refuse(Refusal::LogUnopenable, *mAuditLog.problem() + ", so nothing was restored");
    }
    const UserAccountManager::RunningAccount account = UserAccountManager::runningAccount();
    AuditLog::RunStart start;
    start.runId = mSummary.runId;
    start.step = "restore";
    start.target = archiveFile;
    start.program = mProgram;
    start.version = mVersion;
    start.interface = mInterface;
    start.uid = account.uid;
    start.user = account.name;
    start.system = SystemRoot::hostRoot();
    mAuditLog.writeStart(start);
    std::string busy;
    const std::optional<SystemLock> lock = SystemLock::acquire(mLockWait, busy);
    if (!lock) {
        return refuse(Refusal::SystemBusy, busy + ", so nothing was restored");
    }

    // The whole archive is read before anything is written.
    std::string error;
    std::unique_ptr<BackupReader> reader = BackupReader::openFile(archiveFile, error);
    if (!reader) {
        mReport.add(EngineAction::Outcome::Failed, "backup", archiveFile, error);
        return refuse(Refusal::Unreadable, "the backup " + archiveFile + " cannot be read: " + error +
                                               ", so nothing was restored");
    }
    const BackupContents contents = BackupContents::scan(*reader);
    mManifest = contents.manifest;
    if (!contents.foreign.empty()) {
        mReport.add(EngineAction::Outcome::Refused, "backup", archiveFile, contents.foreign);
        return refuse(Refusal::Foreign, "the backup " + archiveFile + " holds what no backup writes, " +
                                            contents.foreign + ", so nothing was restored");
    }
    if (contents.members == 0 && !contents.damage.empty()) {
        mReport.add(EngineAction::Outcome::Failed, "backup", archiveFile, contents.damage);
        return refuse(Refusal::Unreadable, "the backup " + archiveFile + " is no archive that can be read (" +
                                               contents.damage + "), so nothing was restored");
    }
    reader = BackupReader::openFile(archiveFile, error);
    if (!reader) {
        mReport.add(EngineAction::Outcome::Failed, "backup", archiveFile, error);
        return summarize("the backup " + archiveFile + " cannot be read again: " + error);
    }
    if (!ItemRestorer::restoresOwners()) {
        mReport.add(EngineAction::Outcome::Skipped, "owners", "",
                    "owners and groups stay the restoring user's: only the super-user may set them");
    }
    ItemRestorer restorer(replace);
    std::string damage = contents.damage.empty() ? std::string()
                                                 : "the backup stops early (" + contents.damage +
                                                       "): nothing after that was restored";
    for (size_t index = 0; index < contents.members; ++index) {
        BackupReader::Header header;
        if (reader->next(header) != BackupReader::Next::Member) {
            damage = "the backup changed while it was restored: " + reader->error();
            break;
        }
        if (contents.manifestIndex == index) {
            continue;
        }
        const BackupMember& member = header.member;
        const char* step = BackupMember::kindName(member.kind);
        const ItemRestorer::Result result =
            restorer.restore(member, *reader, mManifest ? mManifest->editOf(member.path) : nullptr);
        switch (result.status) {
        case ItemRestorer::Result::Status::Restored:
            mReport.add(EngineAction::Outcome::Restored, step, member.path);
            break;
        case ItemRestorer::Result::Status::Exists:
            mReport.add(EngineAction::Outcome::Skipped, step, member.path, result.reason);
            break;
        case ItemRestorer::Result::Status::Refused:
            mReport.add(EngineAction::Outcome::Refused, step, member.path, result.reason);
            break;
        case ItemRestorer::Result::Status::Failed:
        case ItemRestorer::Result::Status::Damaged:
            mReport.add(EngineAction::Outcome::Failed, step, member.path, result.reason);
            break;
        }
        if (result.status == ItemRestorer::Result::Status::Damaged) {
            damage = "the backup changed while it was restored: " + result.reason;
            break;
        }
    }
    for (const std::string& folder : restorer.foldersMadeOnTheWay()) {
        mReport.add(EngineAction::Outcome::Restored, "folder", folder,
                    "made on the way to what the backup holds, which does not hold it");
    }
    // A folder's own metadata changes nothing in the folder that holds it: the order does not matter.
    if (mManifest) {
        for (const auto& [path, reason] : restorer.setTimes(mManifest->folderTimes)) {
            mReport.add(EngineAction::Outcome::Skipped, "folder times", path, reason);
        }
    }
    for (const auto& [path, reason] : restorer.finish()) {
        mReport.add(EngineAction::Outcome::Failed, "folder", path, reason);
    }
    if (!damage.empty()) {
        mReport.add(EngineAction::Outcome::Failed, "backup", archiveFile, damage);
    }
    return summarize(damage);
}
