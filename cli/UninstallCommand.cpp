#include "cli/UninstallCommand.h"

#include "catalogue/StoreSoftwareInformationManager.h"
#include "cli/CliProcesses.h"
#include "cli/CommandLine.h"
#include "cli/RowSelection.h"
#include "cli/TerminalProgress.h"
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

constexpr int kDone = 0;
constexpr int kCannotRead = 1;
constexpr int kUsage = 2;
constexpr int kStillRunning = 3;
constexpr int kFailed = 5;
constexpr int kCancelled = 6;

void printAlert(const AlertMessage& alert, std::ostream& stream) {
    stream << alert.title << '\n' << alert.message << '\n';
}

// Alert 1001 as a question; true only for an answer that means Continue.
bool confirmed(const Localization& texts, std::ostream& err) {
    const std::optional<AlertMessage> question = AlertMessage::forCode(1001, texts);
    if (question) {
        printAlert(*question, err);
    }
    const std::string yes =
        question && !question->buttons.empty() ? question->buttons.front().caption : "Continue";
    err << "Type \"" << yes << "\" or \"y\" to go on: " << std::flush;
    std::string answer = Terminal::readLine().value_or("");
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    std::string expected = yes;
    std::transform(expected.begin(), expected.end(), expected.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return answer == "y" || answer == "yes" || answer == expected;
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

int UninstallCommand::exitStatusOf(int32_t code) {
    switch (code) {
    case UnInstallSoftwareManager::kDone:
        return kDone;
    case UnInstallSoftwareManager::kApplicationsStillRunning:
        return kStillRunning;
    case UnInstallSoftwareManager::kCancelled:
        return kCancelled;
    default:
        return kFailed;
    }
}

int UninstallCommand::run(StoreSoftwareInformationManager& store, const CommandLine& line, std::ostream& out,
                          std::ostream& err) {
    const std::optional<RowSelection::Result> selection =
        RowSelection::select(store, line.names, line.all, err);
    if (!selection) {
        return kUsage;
    }
    const Localization& texts = Localization::shared();
    if (!line.yes) {
        if (!Terminal::isInteractive()) {
            err << "uninstaller-cli: there is no terminal to ask on; give --yes to uninstall without a "
                   "question\n";
            return kUsage;
        }
        if (!confirmed(texts, err)) {
            err << "Nothing was removed.\n";
            return kCancelled;
        }
    }
    std::string problem;
    const std::unique_ptr<ProcessManager> processes = CliProcesses::create(problem);
    if (!processes) {
        err << "uninstaller-cli: " << problem << '\n';
        return kCannotRead;
    }
    // Ctrl-C is the Cancel button: the software in hand is finished first.
    InterruptSignal::install(texts.localizedString("SheetDialog.Message.UninstallCancel") + "\n");
    TerminalProgress progress(out, texts);
    UnInstallSoftwareManager driver(progress, *processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    driver.setAuditLogPath(line.logFile);
    driver.setRunOrigin(
        {"uninstaller-cli", UNINSTALLER_VERSION, "cli", selection->ticked, selection->forced});
    driver.setAllSoftwareRestPathListArray(store.getMergedAllSoftwareRestPathList());
    if (!driver.openAuditLog()) {
        if (line.logFile) {
            err << "uninstaller-cli: " << *driver.auditLogProblem() << "; nothing was changed\n";
            return kCannotRead;
        }
        err << "uninstaller-cli: " << *driver.auditLogProblem() << "; the uninstall goes on without it\n";
    }
    const int32_t code = driver.processUnInstall(&store.getMSoftwareInformationArray());
    const RunSummary& summary = driver.summary();
    const UnInstallSoftwareManager::Refusal refusal = driver.refusal();
    if (refusal == UnInstallSoftwareManager::Refusal::SystemBusy ||
        refusal == UnInstallSoftwareManager::Refusal::LogUnopenable) {
        err << "uninstaller-cli: " << summary.reason << '\n';
        return kCannotRead;
    }

    const std::optional<AlertMessage> result =
        AlertMessage::forCode(code == UnInstallSoftwareManager::kDone ? 1002 : code, texts);
    if (result) {
        printAlert(*result, code == UnInstallSoftwareManager::kDone ? out : err);
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
    if (driver.auditLogProblem()) {
        err << "uninstaller-cli: " << *driver.auditLogProblem() << '\n';
    }
    return exitStatusOf(code);
}
