#include "catalogue/SearchSoftwareInformationManager.h"
#include "catalogue/StartupSearch.h"
#include "catalogue/StoreSoftwareInformationManager.h"
#include "cli/CommandLine.h"
#include "cli/ListCommand.h"
#include "cli/PlanCommand.h"
#include "cli/UninstallCommand.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/SystemRoot.h"

#include <cerrno>
#include <iostream>

namespace {

enum ExitStatus { kDone = 0, kCannotRead = 1, kUsage = 2, kNothingFound = 4 };

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

} // namespace

int main(int argc, char** argv) {
    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (line.help) {
        std::cout << CommandLine::usage();
        return kDone;
    }
    if (line.version) {
        std::cout << "uninstaller-cli " << UNINSTALLER_VERSION << '\n';
        return kDone;
    }
    if (line.error) {
        std::cerr << "uninstaller-cli: " << *line.error << '\n' << CommandLine::usage();
        return kUsage;
    }
    if (line.root && !SystemRoot::set(*line.root)) {
        std::cerr << "uninstaller-cli: " << *line.root
                  << (errno == ENOENT ? " does not exist\n" : " is not a folder\n");
        return kCannotRead;
    }

    SearchSoftwareInformationManager search;
    StoreSoftwareInformationManager store;
    const StartupSearch::Outcome outcome = StartupSearch::run(search, store);
    if (outcome == StartupSearch::Outcome::NotASystem) {
        std::cerr << "uninstaller-cli: " << line.root.value_or("/")
                  << " is not a macOS system: it has neither "
                     "/System/Library/CoreServices/SystemVersion.plist nor /Library\n";
        return kCannotRead;
    }
    ListCommand::printWarnings(
        store, std::cerr, line.json ? ListCommand::RowWarnings::Leave : ListCommand::RowWarnings::Include);
    if (outcome == StartupSearch::Outcome::NothingFound) {
        if (line.json && line.command == CommandLine::Command::List) {
            // Whoever reads the JSON gets an empty list, not nothing at all.
            std::cout << "[]\n";
        }
        reportNothingFound();
        return kNothingFound;
    }
    if (line.command == CommandLine::Command::Plan) {
        return PlanCommand::run(store, line, std::cout, std::cerr);
    }
    if (line.command == CommandLine::Command::Uninstall) {
        return UninstallCommand::run(store, line, std::cout, std::cerr);
    }
    if (line.json) {
        ListCommand::printJson(store, std::cout);
    } else {
        ListCommand::printRows(store, std::cout);
    }
    return kDone;
}
