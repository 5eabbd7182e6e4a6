#pragma once

#include <cstdint>
#include <iosfwd>

struct CommandLine;
class StoreSoftwareInformationManager;

/// uninstaller-cli uninstall: removes the named rows with the uninstall driver, after the question of
/// alert 1001 on a terminal (or --yes), reporting each software as it starts and then the result.
class UninstallCommand {
public:
    /// Runs the uninstall; the exit status: 0 done, 2 usage (an unknown name, no terminal to ask on), 3 an
    /// application would not quit, 5 failed, 6 cancelled (also when the question was answered no).
    static int run(StoreSoftwareInformationManager& store, const CommandLine& line, std::ostream& out,
                   std::ostream& err);

    /// The exit status of one of the driver's result codes.
    static int exitStatusOf(int32_t code);
};
