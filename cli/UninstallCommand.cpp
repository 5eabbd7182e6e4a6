#include "cli/UninstallCommand.h"

#include "catalogue/StoreSoftwareInformationManager.h"
#include "cli/CliProcesses.h"
#include "cli/CommandLine.h"
#include "cli/RowSelection.h"
#include "cli/TerminalProgress.h"
#include "cli/UninstallReport.h"
#include "engine/AlertMessage.h"
#include "engine/RunSummary.h"
#include "engine/UnInstallSoftwareManager.h"
#include "platform/InterruptSignal.h"
#include "platform/Localization.h"
#include "platform/ProcessManager.h"
#include "platform/Terminal.h"

#include <algorithm>
#include <cctype>
#include <ostream>

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return text;
}

// "Remove Scan Utility, PC-FAX Driver (forced)? [y/N]"; true only for an answer that means yes.
bool confirmed(const std::vector<std::string>& items, const Localization& texts, std::ostream& err) {
    std::string list;
    for (const std::string& item : items) {
        list += (list.empty() ? "" : texts.localizedString("Terminal.Question.Separator")) + item;
    }
    err << Localization::formatWithArguments(texts.localizedString("Terminal.Question.Remove"), {list})
        << " [y/N] " << std::flush;
    const std::string answer = lowered(Terminal::readLine().value_or(""));
    return answer == "y" || answer == "yes" ||
           answer == lowered(texts.localizedString("Alert.Button.Continue.Caption"));
}

void printAlert(const AlertMessage& alert, std::ostream& stream) {
    stream << alert.title << '\n' << alert.message << '\n';
}

// The terminal's wording of a result: the window's quits after it, the command line does not.
AlertMessage inTerminalWords(AlertMessage alert, const Localization& texts) {
    if (alert.code == 1002 || alert.code == 1003) {
        alert.message = texts.localizedString("Terminal.Message." + std::to_string(alert.code));
    }
    return alert;
}

// The items the lists named that stayed because no uninstall may take them: the first few, the rest
// only in the audit log.
void printLeftAlone(const ActionReport& report, std::ostream& err) {
    constexpr size_t kShown = 5;
    size_t count = 0;
    for (const EngineAction& action : report.actionsWith(EngineAction::Outcome::Skipped)) {
        if (action.step == "protected" && count++ < kShown) {
            err << "uninstaller-cli: left alone: " << action.target << " (" << action.detail << ")\n";
        }
    }
    if (count > kShown) {
        err << "uninstaller-cli: and " << count - kShown << " more left alone, listed in the audit log\n";
    }
}

} // namespace

ExitStatus UninstallCommand::exitStatusOf(int32_t code) {
    switch (code) {
    case UnInstallSoftwareManager::kDone:
        return ExitStatus::Done;
    case UnInstallSoftwareManager::kApplicationsStillRunning:
        return ExitStatus::ApplicationsRunning;
    case UnInstallSoftwareManager::kCancelled:
        return ExitStatus::Cancelled;
    default:
        return ExitStatus::Failed;
    }
}

ExitStatus UninstallCommand::run(StoreSoftwareInformationManager& store, const CommandLine& line,
                                 std::ostream& out, std::ostream& err, UninstallReport& report) {
    // With --json, standard output is the report's alone.
    std::ostream& text = line.json ? err : out;
    const RowSelection::Result selection =
        RowSelection::select(store, line.names, line.all, err,
                             line.quiet ? RowSelection::Notice::Quiet : RowSelection::Notice::Print);
    if (!selection.unknown.empty()) {
        report.setStopped(RunSummary::Result::Refused, RowSelection::unknownReason(selection));
        return ExitStatus::Usage;
    }
    report.setRows(selection.ticked, selection.forced);
    const Localization& texts = Localization::shared();
    if (!line.yes) {
        if (!Terminal::isInteractive()) {
            return report.refuse(ExitStatus::Usage,
                                 "there is no terminal to ask on; give --yes to uninstall without a question",
                                 err);
        }
        if (!confirmed(AlertMessage::removalItems(store.getMSoftwareInformationForDisplayArray(),
                                                  selection.taken, texts),
                       texts, err)) {
            err << "Nothing was removed.\n";
            report.setStopped(RunSummary::Result::Cancelled, "the question was answered no");
            return ExitStatus::Cancelled;
        }
    }
    std::string problem;
    const std::unique_ptr<ProcessManager> processes = CliProcesses::create(problem);
    if (!processes) {
        return report.refuse(ExitStatus::CannotRead, problem, err);
    }
    // Ctrl-C is the Cancel button: the software in hand is finished first.
    InterruptSignal::install(texts.localizedString("SheetDialog.Message.UninstallCancel") + "\n");
    TerminalProgress progress(text, texts,
                              line.quiet ? TerminalProgress::Lines::Quiet : TerminalProgress::Lines::Print);
    UnInstallSoftwareManager driver(progress, *processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    driver.setAuditLogPath(line.logFile);
    driver.setBackupFile(line.backupFile);
    driver.setRunOrigin({"uninstaller-cli", UNINSTALLER_VERSION, "cli", selection.ticked, selection.forced});
    driver.setAllSoftwareRestPathListArray(store.getMergedAllSoftwareRestPathList());
    if (!driver.openAuditLog()) {
        report.setAuditLog(driver.auditLogLocation(), driver.auditLogProblem());
        if (line.logFile) {
            return report.refuse(ExitStatus::CannotRead, *driver.auditLogProblem() + "; nothing was changed",
                                 err);
        }
        err << "uninstaller-cli: " << *driver.auditLogProblem() << "; the uninstall goes on without it\n";
    }
    if (line.verbose) {
        driver.setActionListener([&text](const std::string& software, const EngineAction& action) {
            text << (software.empty() ? "" : software + ": ") << action.text() << '\n';
        });
    }
    const int32_t code = driver.processUnInstall(&store.getMSoftwareInformationArray());
    const RunSummary& summary = driver.summary();
    report.setRun(summary);
    report.setAuditLog(driver.auditLogLocation(), driver.auditLogProblem());
    const UnInstallSoftwareManager::Refusal refusal = driver.refusal();
    if (refusal == UnInstallSoftwareManager::Refusal::SystemBusy ||
        refusal == UnInstallSoftwareManager::Refusal::LogUnopenable) {
        err << "uninstaller-cli: " << summary.reason << '\n';
        return ExitStatus::CannotRead;
    }

    const std::optional<AlertMessage> result =
        AlertMessage::forCode(code == UnInstallSoftwareManager::kDone ? 1002 : code, texts);
    if (result && (code != UnInstallSoftwareManager::kDone || !line.quiet)) {
        printAlert(inTerminalWords(*result, texts), code == UnInstallSoftwareManager::kDone ? text : err);
    }
    printLeftAlone(driver.report(), err);
    if (summary.result == RunSummary::Result::Failed) {
        err << "uninstaller-cli: " << summary.reason << "; see " << driver.auditLogLocation() << '\n';
        for (const RunSummary::Software& software : summary.software) {
            if (software.result == RunSummary::Result::Failed) {
                err << "uninstaller-cli: " << software.name
                    << " is still listed, so that another uninstall can finish it\n";
            }
        }
    } else if (code != UnInstallSoftwareManager::kDone && !summary.reason.empty()) {
        err << "uninstaller-cli: " << summary.reason << '\n';
    }
    if (!summary.backupFile.empty() && !line.quiet) {
        out << "The backup " << summary.backupFile << " holds " << summary.backedUp
            << " items; \"uninstaller-cli restore\" puts them back.\n";
    }
    if (driver.auditLogProblem()) {
        err << "uninstaller-cli: " << *driver.auditLogProblem() << '\n';
    }
    return exitStatusOf(code);
}
