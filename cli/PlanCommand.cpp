#include "cli/PlanCommand.h"

#include "catalogue/StoreSoftwareInformationManager.h"
#include "cli/CliProcesses.h"
#include "cli/CommandLine.h"
#include "cli/RowSelection.h"
#include "cli/TerminalProgress.h"
#include "engine/JsonText.h"
#include "engine/UnInstallSoftwareManager.h"
#include "platform/Localization.h"
#include "platform/ProcessManager.h"

#include <ostream>

namespace {

std::vector<std::string> linesThat(const std::vector<AnalyzeCommandManager::Verdict>& verdicts,
                                   bool admitted) {
    std::vector<std::string> lines;
    for (const AnalyzeCommandManager::Verdict& verdict : verdicts) {
        if (verdict.admitted == admitted) {
            lines.push_back(verdict.line);
        }
    }
    return lines;
}

std::vector<std::string> identifiers(const RemovalRequest& removal) {
    std::vector<std::string> ids;
    for (const PackageInfoEntry& entry : removal.receiptsInfo.value_or(std::vector<PackageInfoEntry>())) {
        ids.push_back(entry.packageIdentifier);
    }
    return ids;
}

std::string scriptJson(const std::vector<AnalyzeCommandManager::Verdict>& verdicts) {
    std::string reasons;
    for (const AnalyzeCommandManager::Verdict& verdict : verdicts) {
        if (!verdict.admitted) {
            reasons += (reasons.empty() ? "" : ", ") + jsontext::quoted(verdict.line) + ": " +
                       jsontext::quoted(verdict.reason);
        }
    }
    return "{\"run\": " + jsontext::array(linesThat(verdicts, true)) +
           ", \"refused\": " + jsontext::array(linesThat(verdicts, false)) + ", \"reasons\": {" + reasons +
           "}}";
}

void printLines(std::ostream& out, const std::string& label, const std::vector<std::string>& items,
                const std::string& suffix = {}) {
    for (const std::string& item : items) {
        out << "  " << label << ": " << item << suffix << '\n';
    }
}

void printScript(std::ostream& out, const std::string& label,
                 const std::vector<AnalyzeCommandManager::Verdict>& lines) {
    for (const AnalyzeCommandManager::Verdict& verdict : lines) {
        out << "  " << label << (verdict.admitted ? " run: " : " refused: ") << verdict.line
            << (verdict.admitted ? "" : " (" + verdict.reason + ")") << '\n';
    }
}

} // namespace

void PlanCommand::printText(const UninstallPlan& plan, std::ostream& out) {
    const std::string skipped = "skipped (not the running system)";
    for (const RecordPlan& record : plan.records) {
        const std::vector<std::string> none;
        out << record.name << '\n';
        printLines(out, "file", record.files);
        printLines(out, "link", record.links);
        // Deepest first, as they are examined.
        printLines(out, "folder", std::vector<std::string>(record.folders.rbegin(), record.folders.rend()),
                   " (when empty)");
        printScript(out, "pre-uninstall", record.preUninstall);
        printScript(out, "post-uninstall", record.postUninstall);
        printLines(out, "Dock item", record.removal.dockItems.value_or(none));
        printLines(out, "login item", record.removal.loginWindows.value_or(none));
        printLines(out, "launch agent", record.removal.launchAgents.value_or(none));
        if (record.removal.uninstallPList && !record.removal.uninstallPList->empty()) {
            printLines(out, "information file", {*record.removal.uninstallPList});
        }
        printLines(out, "receipt", identifiers(record.removal));
        printLines(out, skipped, record.skipped);
    }
    if (!plan.skipped.empty()) {
        out << "Whole run\n";
        printLines(out, skipped, plan.skipped);
    }
}

void PlanCommand::printJson(const UninstallPlan& plan, std::ostream& out) {
    out << "{\"records\": [";
    for (size_t i = 0; i < plan.records.size(); ++i) {
        const RecordPlan& record = plan.records[i];
        const std::vector<std::string> none;
        const bool hasFile = record.removal.uninstallPList && !record.removal.uninstallPList->empty();
        out << (i == 0 ? "\n  " : ",\n  ") << "{\"name\": " << jsontext::quoted(record.name)
            << ",\n   \"files\": " << jsontext::array(record.files)
            << ",\n   \"links\": " << jsontext::array(record.links)
            << ",\n   \"folders\": " << jsontext::array(record.folders)
            << ",\n   \"preUninstall\": " << scriptJson(record.preUninstall)
            << ",\n   \"postUninstall\": " << scriptJson(record.postUninstall)
            << ",\n   \"dockItems\": " << jsontext::array(record.removal.dockItems.value_or(none))
            << ",\n   \"loginItems\": " << jsontext::array(record.removal.loginWindows.value_or(none))
            << ",\n   \"launchAgents\": " << jsontext::array(record.removal.launchAgents.value_or(none))
            << ",\n   \"informationFile\": "
            << (hasFile ? jsontext::quoted(*record.removal.uninstallPList) : std::string("null"))
            << ",\n   \"receipts\": " << jsontext::array(identifiers(record.removal))
            << ",\n   \"skipped\": " << jsontext::array(record.skipped) << "}";
    }
    out << (plan.records.empty() ? "" : "\n") << "], \"skipped\": " << jsontext::array(plan.skipped) << "}\n";
}

ExitStatus PlanCommand::run(StoreSoftwareInformationManager& store, const CommandLine& line,
                            std::ostream& out, std::ostream& err) {
    if (!RowSelection::select(store, line.names, line.all, err,
                              line.quiet ? RowSelection::Notice::Quiet : RowSelection::Notice::Print)) {
        return ExitStatus::Usage;
    }
    std::string problem;
    const std::unique_ptr<ProcessManager> processes = CliProcesses::create(problem);
    if (!processes) {
        err << "uninstaller-cli: " << problem << '\n';
        return ExitStatus::CannotRead;
    }
    TerminalProgress progress(err, Localization::shared());
    UnInstallSoftwareManager driver(progress, *processes);
    driver.setAllSoftwareRestPathListArray(store.getMergedAllSoftwareRestPathList());
    const UninstallPlan plan = driver.planUnInstall(store.getMSoftwareInformationArray());
    if (plan.refusal) {
        err << "uninstaller-cli: the uninstall would not start: " << *plan.refusal << '\n';
        return ExitStatus::Failed;
    }
    if (line.json) {
        printJson(plan, out);
    } else {
        printText(plan, out);
    }
    return ExitStatus::Done;
}
