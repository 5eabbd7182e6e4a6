#include "cli/RestoreCommand.h"

#include "cli/CommandLine.h"
#include "engine/BackupContents.h"
#include "engine/RestoreManager.h"
#include "platform/BackupReader.h"

#include <ostream>

namespace {

// At most this many items of one kind are named; the log has them all.
constexpr size_t kNamed = 10;

ExitStatus list(const std::string& file, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::unique_ptr<BackupReader> reader = BackupReader::openFile(file, error);
    if (!reader) {
        err << "uninstaller-cli: the backup " << file << " cannot be read: " << error << '\n';
        return ExitStatus::Failed;
    }
    if (!BackupContents::list(*reader, out)) {
        err << "uninstaller-cli: the backup " << file
            << " is damaged or holds what no backup writes, so a restore of it would not be whole\n";
        return ExitStatus::Failed;
    }
    return ExitStatus::Done;
}

void name(const std::vector<EngineAction>& actions, const char* what, std::ostream& stream) {
    size_t shown = 0;
    for (const EngineAction& action : actions) {
        if (action.step == "backup" || action.step == "owners") {
            continue;
        }
        if (shown++ < kNamed) {
            stream << "uninstaller-cli: " << what << ": " << BackupContents::printable(action.target) << " ("
                   << BackupContents::printable(action.detail) << ")\n";
        }
    }
    if (shown > kNamed) {
        stream << "uninstaller-cli: and " << shown - kNamed << " more " << what
               << ", listed in the audit log\n";
    }
}

} // namespace

ExitStatus RestoreCommand::run(const CommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string& file = line.names.front();
    if (line.list) {
        return list(file, out, err);
    }
    RestoreManager restore;
    restore.setAuditLogPath(line.logFile);
    restore.setRunOrigin("uninstaller-cli", UNINSTALLER_VERSION, "cli");
    if (!restore.openAuditLog()) {
        if (line.logFile) {
            err << "uninstaller-cli: " << *restore.auditLogProblem() << "; nothing was restored\n";
            return ExitStatus::CannotRead;
        }
        err << "uninstaller-cli: " << *restore.auditLogProblem() << "; the restore goes on without it\n";
    }
    if (line.verbose) {
        restore.setActionListener([&out](const EngineAction& action) { out << action.text() << '\n'; });
    }
    const RunSummary::Result result =
        restore.restore(file, line.force ? ItemRestorer::Replace::Existing : ItemRestorer::Replace::Never);
    const RunSummary& summary = restore.summary();
    switch (restore.refusal()) {
    case RestoreManager::Refusal::None:
        break;
    case RestoreManager::Refusal::LogUnopenable:
    case RestoreManager::Refusal::SystemBusy:
        err << "uninstaller-cli: " << summary.reason << '\n';
        return ExitStatus::CannotRead;
    case RestoreManager::Refusal::Unreadable:
    case RestoreManager::Refusal::Foreign:
        err << "uninstaller-cli: " << BackupContents::printable(summary.reason) << '\n';
        return ExitStatus::Failed;
    }
    const ActionReport& report = restore.report();
    if (!line.quiet) {
        if (const std::optional<BackupManifest>& manifest = restore.manifest()) {
            out << "Backup of run " << BackupContents::printable(manifest->run) << " on "
                << BackupContents::printable(manifest->systemRoot) << ".\n";
        }
        out << "Restored " << summary.counts.restored << " items.\n";
        const std::vector<EngineAction> skipped = report.actionsWith(EngineAction::Outcome::Skipped);
        name(skipped, "left alone", out);
        if (!skipped.empty() && !line.force) {
            out << "--force puts the backup's files and links in the place of those left alone.\n";
        }
    }
    if (!restore.manifest()) {
        err << "uninstaller-cli: the backup has no manifest: the uninstall that wrote it did not end\n";
    }
    for (const EngineAction& action : report.actionsWith(EngineAction::Outcome::Skipped)) {
        if (action.step == "owners") {
            err << "uninstaller-cli: " << action.detail << '\n';
        }
    }
    name(report.actionsWith(EngineAction::Outcome::Refused), "refused", err);
    name(report.actionsWith(EngineAction::Outcome::Failed), "not restored", err);
    if (result != RunSummary::Result::Done) {
        err << "uninstaller-cli: " << BackupContents::printable(summary.reason) << "; see "
            << restore.auditLogLocation() << '\n';
    }
    if (restore.auditLogProblem()) {
        err << "uninstaller-cli: " << *restore.auditLogProblem() << '\n';
    }
    return result == RunSummary::Result::Done ? ExitStatus::Done : ExitStatus::Failed;
}
