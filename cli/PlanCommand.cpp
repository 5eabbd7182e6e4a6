#include "cli/PlanCommand.h"

#include "catalogue/StoreSoftwareInformationManager.h"
#include "cli/CliProcesses.h"
#include "cli/CommandLine.h"
#include "cli/RowSelection.h"
#include "cli/TerminalProgress.h"
#include "engine/JsonText.h"
#include "engine/UnInstallSoftwareManager.h"
#include "platform/Localization.h"
#include "platform/Path.h"
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

const char* jointName(ScriptLine::Joint joint) {
    switch (joint) {
    case ScriptLine::Joint::IfSucceeded:
        return "succeeded";
    case ScriptLine::Joint::IfFailed:
        return "failed";
    case ScriptLine::Joint::Always:
        break;
    }
    return "always";
}

// One command as it will run: its program, its words, when it runs after the one before, and what its
// patterns match now.
std::string commandJson(const CommandScreener::Command& command) {
    std::vector<std::string> words;
    std::string matches;
    for (const CommandScreener::Argument& argument : command.arguments) {
        words.push_back(argument.text);
        if (!argument.pattern.empty()) {
            matches += (matches.empty() ? "" : ", ") + jsontext::quoted(argument.text) + ": " +
                       jsontext::array(argument.matches);
        }
    }
    return "{\"program\": " + jsontext::quoted(command.program) + ", \"words\": " + jsontext::array(words) +
           ", \"when\": " + jsontext::quoted(jointName(command.joint)) +
           (matches.empty() ? "" : ", \"matches\": {" + matches + "}") + "}";
}

std::string scriptJson(const std::vector<AnalyzeCommandManager::Verdict>& verdicts) {
    std::string reasons;
    std::string commands;
    for (const AnalyzeCommandManager::Verdict& verdict : verdicts) {
        if (!verdict.admitted) {
            reasons += (reasons.empty() ? "" : ", ") + jsontext::quoted(verdict.line) + ": " +
                       jsontext::quoted(verdict.reason);
            continue;
        }
        std::string line;
        for (const CommandScreener::Command& command : verdict.commands) {
            line += (line.empty() ? "" : ", ") + commandJson(command);
        }
        commands += (commands.empty() ? "[" : ", [") + line + "]";
    }
    return "{\"run\": " + jsontext::array(linesThat(verdicts, true)) +
           ", \"refused\": " + jsontext::array(linesThat(verdicts, false)) + ", \"reasons\": {" + reasons +
           "}, \"commands\": [" + commands + "]}";
}

std::string refusedJson(const std::vector<RefusedEntry>& entries) {
    std::string json = "[";
    for (const RefusedEntry& refused : entries) {
        json += (json.size() == 1 ? "" : ", ") + std::string("{\"entry\": ") +
                jsontext::quoted(refused.entry) + ", \"reaches\": " + jsontext::quoted(refused.reaches) +
                ", \"reason\": " + jsontext::quoted(refused.reason) + "}";
    }
    return json + "]";
}

std::string leftAloneJson(const std::vector<ProtectedItem>& items) {
    std::string json = "[";
    for (const ProtectedItem& item : items) {
        json += (json.size() == 1 ? "" : ", ") + std::string("{\"path\": ") + jsontext::quoted(item.path) +
                ", \"reason\": " + jsontext::quoted(item.reason) + "}";
    }
    return json + "]";
}

void printLines(std::ostream& out, const std::string& label, const std::vector<std::string>& items,
                const std::string& suffix = {}) {
    for (const std::string& item : items) {
        out << "  " << label << ": " << item << suffix << '\n';
    }
}

// An admitted line, then each of its commands as it will run.
void printScript(std::ostream& out, const std::string& label,
                 const std::vector<AnalyzeCommandManager::Verdict>& lines) {
    for (const AnalyzeCommandManager::Verdict& verdict : lines) {
        out << "  " << label << (verdict.admitted ? " run: " : " refused: ") << verdict.line
            << (verdict.admitted ? "" : " (" + verdict.reason + ")") << '\n';
        for (const CommandScreener::Command& command : verdict.commands) {
            out << "    command"
                << (command.joint == ScriptLine::Joint::IfSucceeded ? " if the one before succeeded"
                    : command.joint == ScriptLine::Joint::IfFailed  ? " if the one before failed"
                                                                    : "")
                << ": " << command.text();
            for (const CommandScreener::Argument& argument : command.arguments) {
                if (argument.pattern.empty()) {
                    continue;
                }
                std::string now;
                for (const std::string& match : argument.matches) {
                    now += (now.empty() ? "" : ", ") + match;
                }
                out << " (" << path::lastComponent(argument.text)
                    << (now.empty() ? " matches nothing now)" : " matches now: " + now + ")");
            }
            out << '\n';
        }
    }
}

} // namespace

void PlanCommand::printText(const UninstallPlan& plan, std::ostream& out) {
    const std::string skipped = "skipped (not the running system)";
    for (const RecordPlan& record : plan.records) {
        const std::vector<std::string> none;
        out << record.name << '\n';
        if (record.isRefused()) {
            out << "  refused: nothing of it is removed, as its remove paths ask for what no uninstall may "
                   "touch\n";
            for (const RefusedEntry& refused : record.refusedEntries) {
                out << "  refused entry: " << refused.entry << " reaches " << refused.reaches << " ("
                    << refused.reason << ")\n";
            }
            continue;
        }
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
        for (const ProtectedItem& item : record.protectedItems) {
            out << "  left alone: " << item.path << " (" << item.reason << ")\n";
        }
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
            << ",\n   \"refusedEntries\": " << refusedJson(record.refusedEntries)
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
            << ",\n   \"skipped\": " << jsontext::array(record.skipped)
            << ",\n   \"leftAlone\": " << leftAloneJson(record.protectedItems) << "}";
    }
    out << (plan.records.empty() ? "" : "\n") << "], \"skipped\": " << jsontext::array(plan.skipped) << "}\n";
}

ExitStatus PlanCommand::run(StoreSoftwareInformationManager& store, const CommandLine& line,
                            std::ostream& out, std::ostream& err) {
    if (!RowSelection::select(store, line.names, line.all, err,
                              line.quiet ? RowSelection::Notice::Quiet : RowSelection::Notice::Print)
             .unknown.empty()) {
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
