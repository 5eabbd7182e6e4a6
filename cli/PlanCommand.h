#pragma once

#include "cli/ExitStatus.h"

#include <iosfwd>

struct CommandLine;
class StoreSoftwareInformationManager;
struct UninstallPlan;

/// uninstaller-cli plan: what uninstalling the named rows would do, software by software, worked out by
/// the same code the uninstall runs, with nothing changed.
class PlanCommand {
public:
    /// Prints the plan; the exit status: Done, Usage for an unknown name, Failed when the uninstall would
    /// refuse to start.
    static ExitStatus run(StoreSoftwareInformationManager& store, const CommandLine& line, std::ostream& out,
                          std::ostream& err);

    /// The plan as text: a block per software, one line per item or step.
    static void printText(const UninstallPlan& plan, std::ostream& out);

    /// The plan as JSON: {"records": [...], "skipped": [...]}.
    static void printJson(const UninstallPlan& plan, std::ostream& out);
};
