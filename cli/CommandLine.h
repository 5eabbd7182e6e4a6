#pragma once

#include "cli/CommandTable.h"

#include <optional>
#include <string>
#include <vector>

/// What the command line of uninstaller-cli asks for, parsed by the command table: options may come
/// before or after the command, "--" ends them.
struct CommandLine {
    /// The command; with `help`, the command whose help is asked for (None: the whole help).
    Command command = Command::None;
    std::optional<std::string> root;       // --root DIR
    bool quiet = false;                    // -q, --quiet: only errors
    bool verbose = false;                  // -v, --verbose: every action as it happens
    bool help = false;                     // -h, --help, or the help command
    bool version = false;                  // -V, --version
    bool json = false;                     // list --json, plan --json
    bool all = false;                      // plan --all, uninstall --all: every row
    bool yes = false;                      // uninstall --yes: no question
    std::optional<std::string> logFile;    // uninstall --log FILE, restore --log FILE
    std::optional<std::string> backupFile; // uninstall --backup FILE
    bool list = false;                     // restore --list: show the backup, restore nothing
    bool force = false;                    // restore --force: in the place of files that exist now
    /// What follows the command: the rows to plan or uninstall as list prints them, the backup to
    /// restore, or the words to complete.
    std::vector<std::string> names;
    /// Set when the arguments cannot be used; one line saying why.
    std::optional<std::string> error;

    static CommandLine parse(const std::vector<std::string>& arguments);

    /// The help of one command, or of them all for Command::None: usage, commands, options and, for all,
    /// the exit statuses.
    static std::string helpText(Command command);

    /// What a usage error prints: "uninstaller-cli: REASON" and where to find the help.
    static std::string usageError(const std::string& reason);
};
