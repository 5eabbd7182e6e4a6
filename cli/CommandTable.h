#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CommandLine;

/// The commands of uninstaller-cli.
enum class Command { None, List, Plan, Uninstall, Restore, Help, Complete };

/// What a command takes after its options.
enum class Operands {
    None,        // nothing
    Names,       // row names as list prints them, unless --all names every row
    File,        // one file: the backup a restore reads
    CommandName, // at most one command name
    Words,       // anything: the words of a command line being completed
};

/// One command of the table.
struct CommandSpec {
    Command command;
    const char* name;
    Operands operands;
    const char* summary;     // its line in the list of commands
    const char* description; // its own help
    bool hidden = false;     // left out of the help and the manual page
};

/// What an option's value names, so that completion can offer folders or files.
enum class ValueKind { None, Folder, File };

/// One option of the table. A switch sets a bool of CommandLine, an option with a value a string.
struct OptionSpec {
    const char* longName;  // "--root"
    char shortName;        // 'q', or 0 for none
    const char* valueName; // "DIR"; nullptr for a switch
    ValueKind valueKind;
    const char* help;
    std::vector<Command> commands; // the commands it belongs to; empty for every command
    bool CommandLine::*flag;
    std::optional<std::string> CommandLine::*value;
};

/// The one table of commands and options that the parser, the help, the completion, the manual page and
/// its test follow: a new command or option is a row here.
namespace commandtable {

/// Every command, in the order the help lists them.
const std::vector<CommandSpec>& commands();

/// Every option, in the order the help lists them.
const std::vector<OptionSpec>& options();

/// The command of a name; nullptr for a name that is none.
const CommandSpec* findCommand(std::string_view name);

/// The row of a command (Command::None has none: nullptr).
const CommandSpec* specOf(Command command);

/// The option of a long name ("--root") or a short letter; nullptr when there is none.
const OptionSpec* findLong(std::string_view name);
const OptionSpec* findShort(char letter);

/// True when the option may be given with the command (every option before a command is known).
bool appliesTo(const OptionSpec& option, Command command);

/// The option as the help shows it: "-q, --quiet", "--root DIR".
std::string displayName(const OptionSpec& option);

/// The names of the commands an option belongs to, joined: "plan and uninstall".
std::string commandNames(const OptionSpec& option);

/// A command's usage line from its options and operands: "uninstaller-cli [OPTIONS] plan [--json]
/// [--all] NAME...".
std::string synopsis(const CommandSpec& command);

} // namespace commandtable
