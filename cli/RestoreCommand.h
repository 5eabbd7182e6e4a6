#pragma once

#include "cli/ExitStatus.h"

#include <iosfwd>

struct CommandLine;

/// uninstaller-cli restore: puts back what an uninstall's backup holds (RestoreManager), or with --list
/// shows it, member by member, with its manifest.
class RestoreCommand {
public:
    /// Restores or lists the backup named on the command line; the exit status: CannotRead for a log
    /// that cannot be opened or a system another run holds, Failed when something was not restored or
    /// the backup is damaged or refused (the reason on `err`), or Done.
    static ExitStatus run(const CommandLine& line, std::ostream& out, std::ostream& err);
};
