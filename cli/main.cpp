#include "catalogue/SearchSoftwareInformationManager.h"
#include "catalogue/StartupSearch.h"
#include "catalogue/StoreSoftwareInformationManager.h"
#include "cli/CommandLine.h"
#include "cli/CompletionCommand.h"
#include "cli/ExitStatus.h"
#include "cli/ListCommand.h"
#include "cli/PlanCommand.h"
#include "cli/RestoreCommand.h"
#include "cli/UninstallCommand.h"
#include "cli/UninstallReport.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/SystemRoot.h"
#include "platform/Terminal.h"

#include <cerrno>
#include <iostream>

namespace {

// Alert 1000 as the window would show it, in English.
void reportNothingFound() {
    Localization texts;
    if (std::optional<Bundle> bundle = Bundle::mainBundle()) {
        texts = Localization::load(*bundle, {"en"});
    }
    std::cerr << texts.localizedString("Alert.Info.Title.1000") << '\n'
              << Localization::formatWithArgument(texts.localizedString("Alert.Info.Message.1000"),
                                                  "Uninstaller")
              << '\n';
}

ExitStatus run(const CommandLine& line, UninstallReport& report) {
    if (line.error) {
        std::cerr << CommandLine::usageError(*line.error);
        report.setStopped(RunSummary::Result::Refused, *line.error);
        return ExitStatus::Usage;
    }
    if (line.help) {
        std::cout << CommandLine::helpText(line.command);
        return ExitStatus::Done;
    }
    if (line.version) {
        std::cout << "uninstaller-cli " << UNINSTALLER_VERSION << '\n';
        return ExitStatus::Done;
    }
    if (line.command == Command::Complete) {
        CompletionCommand::run(line.names, std::cout);
        return ExitStatus::Done;
    }
    if (line.root && !SystemRoot::set(*line.root)) {
        const bool missing = errno == ENOENT;
        return report.refuse(ExitStatus::CannotRead,
                             *line.root + (missing ? " does not exist" : " is not a folder"), std::cerr);
    }
    // A restore needs no software on the system, nor a system yet: it may put one back.
    if (line.command == Command::Restore) {
        return RestoreCommand::run(line, std::cout, std::cerr);
    }

    SearchSoftwareInformationManager search;
    StoreSoftwareInformationManager store;
    const StartupSearch::Outcome outcome = StartupSearch::run(search, store);
    if (outcome == StartupSearch::Outcome::NotASystem) {
        return report.refuse(ExitStatus::CannotRead,
                             line.root.value_or("/") +
                                 " is not a macOS system: it has neither "
                                 "/System/Library/CoreServices/SystemVersion.plist nor /Library",
                             std::cerr);
    }
    ListCommand::printWarnings(
        store, std::cerr, line.json ? ListCommand::RowWarnings::Leave : ListCommand::RowWarnings::Include);
    if (outcome == StartupSearch::Outcome::NothingFound) {
        if (line.json && line.command == Command::List) {
            // Whoever reads the JSON gets an empty list, not nothing at all.
            std::cout << "[]\n";
        }
        reportNothingFound();
        report.setStopped(RunSummary::Result::Refused, "no TORVA software was found");
        return ExitStatus::NothingFound;
    }
    switch (line.command) {
    case Command::Plan:
        return PlanCommand::run(store, line, std::cout, std::cerr);
    case Command::Uninstall:
        return UninstallCommand::run(store, line, std::cout, std::cerr, report);
    default:
        break;
    }
    if (line.json) {
        ListCommand::printJson(store, std::cout);
    } else {
        ListCommand::printRows(store, std::cout);
    }
    return ExitStatus::Done;
}

} // namespace

int main(int argc, char** argv) {
    CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    // Nobody watches a log file or a management tool's capture as it is written: only errors go there,
    // unless every action was asked for.
    if (!line.verbose && !Terminal::isOutputTerminal()) {
        line.quiet = true;
    }
    UninstallReport report;
    report.setRows(line.names, {});
    const ExitStatus status = run(line, report);
    // uninstall --json ends with its report whatever happened, a usage error included.
    if (line.command == Command::Uninstall && line.json && !line.help && !line.version) {
        std::cout << report.json(status) << std::flush;
    }
    return exitCode(status);
}
