#pragma once

#include "cli/ExitStatus.h"

#include <cstdint>
#include <iosfwd>

struct CommandLine;
class StoreSoftwareInformationManager;
class UninstallReport;

/// uninstaller-cli uninstall: removes the named rows with the uninstall driver, after a question naming
/// every software that goes (or --yes), reporting each software as it starts and then the result. With
/// --json, whatever would go to `out` goes to `err`, so that standard output holds only the report.
class UninstallCommand {
public:
    /// Runs the uninstall and tells `report` how it ended; the exit status: Usage for an unknown name or
    /// no terminal to ask on, CannotRead, ApplicationsRunning, Failed, Cancelled (also when the question
    /// was answered no), or Done.
    static ExitStatus run(StoreSoftwareInformationManager& store, const CommandLine& line, std::ostream& out,
                          std::ostream& err, UninstallReport& report);

    /// The exit status of one of the driver's result codes.
    static ExitStatus exitStatusOf(int32_t code);
};
