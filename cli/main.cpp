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
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/SystemRoot.h"

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

ExitStatus run(const CommandLine& line) {
    if (line.error) {
        std::cerr << CommandLine::usageError(*line.error);
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
        std::cerr << "uninstaller-cli: " << *line.root
                  << (errno == ENOENT ? " does not exist\n" : " is not a folder\n");
        return ExitStatus::CannotRead;
    }
    // A restore needs no software on the system, nor a system yet: it may put one back.
    if (line.command == Command::Restore) {
        return RestoreCommand::run(line, std::cout, std::cerr);
    }

    SearchSoftwareInformationManager search;
    StoreSoftwareInformationManager store;
    const StartupSearch::Outcome outcome = StartupSearch::run(search, store);
    if (outcome == StartupSearch::Outcome::NotASystem) {
        std::cerr << "uninstaller-cli: " << line.root.value_or("/")
                  << " is not a macOS system: it has neither "
                     "/System/Library/CoreServices/SystemVersion.plist nor /Library\n";
        return ExitStatus::CannotRead;
    }
    ListCommand::printWarnings(
        store, std::cerr, line.json ? ListCommand::RowWarnings::Leave : ListCommand::RowWarnings::Include);
    if (outcome == StartupSearch::Outcome::NothingFound) {
        if (line.json && line.command == Command::List) {
            // Whoever reads the JSON gets an empty list, not nothing at all.
            std::cout << "[]\n";
        }
        reportNothingFound();
        return ExitStatus::NothingFound;
    }
    switch (line.command) {
    case Command::Plan:
        return PlanCommand::run(store, line, std::cout, std::cerr);
    case Command::Uninstall:
        return UninstallCommand::run(store, line, std::cout, std::cerr);
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
    return exitCode(run(CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc))));
}
