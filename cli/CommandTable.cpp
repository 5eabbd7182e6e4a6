#include "cli/CommandTable.h"

#include "cli/CommandLine.h"

namespace commandtable {

const std::vector<CommandSpec>& commands() {
    // One command per row reads as the table it is.
    // clang-format off
    static const std::vector<CommandSpec> table = {
        {Command::List, "list", Operands::None,
         "name, version and installed size of each software",
         "Lists the TORVA software found on the system, one line per row of the uninstaller's table: the "
         "name, the version and the size an uninstall would free, separated by tabs."},
        {Command::Plan, "plan", Operands::Names,
         "what uninstalling the named software would do; nothing is changed",
         "Tells what uninstalling the named rows would delete, run, edit and forget, software by software, "
         "without changing anything. The uninstall runs the same code, so the plan is what it then does. "
         "Steps that would act on this machine are listed as skipped when the system is not the running "
         "one."},
        {Command::Uninstall, "uninstall", Operands::Names,
         "removes the named software",
         "Removes the named rows, after asking unless --yes is given; without a terminal to ask on it "
         "refuses. Every action is appended to /Library/Logs/Uninstaller.log of the system (or to the "
         "--log FILE). Ctrl-C (or SIGTERM) finishes the software in hand, then stops."},
        {Command::Restore, "restore", Operands::File,
         "puts back what an uninstall's --backup FILE holds",
         "Puts back into the system what the backup FILE of an uninstall holds: files, links and folders "
         "with their modes, owners (when run as the super-user), times and extended attributes. Nothing "
         "is written outside the system, over or through a symbolic link, or where no uninstall removes "
         "anything; an item that exists now is left alone unless --force is given. A backup with a member "
         "no backup writes is refused whole. Every action is appended to the log, as for uninstall."},
        {Command::Help, "help", Operands::CommandName,
         "this help, or the help of one command",
         "Shows the help of uninstaller-cli, or of the command named."},
        {Command::Complete, "__complete", Operands::Words,
         "", "The words the completion scripts offer after the given ones.", /*hidden=*/true},
    };
    // clang-format on
    return table;
}

const std::vector<OptionSpec>& options() {
    using C = Command;
    // clang-format off
    static const std::vector<OptionSpec> table = {
        {"--root", 0, "DIR", ValueKind::Folder,
         "work on the macOS system in DIR instead of \"/\"; nothing on this machine is then asked to quit, "
         "run or changed (such steps are listed as skipped)",
         {}, nullptr, &CommandLine::root},
        {"--quiet", 'q', nullptr, ValueKind::None,
         "print only errors; the default when standard output is not a terminal (a log file, a management "
         "tool), unless --verbose is given",
         {}, &CommandLine::quiet, nullptr},
        {"--verbose", 'v', nullptr, ValueKind::None,
         "print every action of an uninstall as it happens, in the words of its log",
         {}, &CommandLine::verbose, nullptr},
        {"--help", 'h', nullptr, ValueKind::None,
         "show the help, of the command when one is given",
         {}, &CommandLine::help, nullptr},
        {"--version", 'V', nullptr, ValueKind::None,
         "show the version",
         {}, &CommandLine::version, nullptr},
        {"--json", 0, nullptr, ValueKind::None,
         "print JSON: the rows with the records and packages behind each, the plan, or the result of an "
         "uninstall however it ended (its messages then go to standard error)",
         {C::List, C::Plan, C::Uninstall}, &CommandLine::json, nullptr},
        {"--all", 0, nullptr, ValueKind::None,
         "every row, instead of names",
         {C::Plan, C::Uninstall}, &CommandLine::all, nullptr},
        {"--yes", 0, nullptr, ValueKind::None,
         "uninstall without asking first",
         {C::Uninstall}, &CommandLine::yes, nullptr},
        {"--backup", 0, "FILE", ValueKind::File,
         "write everything removed or edited into FILE (a pax archive, which must not exist yet) before it "
         "goes; restore puts it back",
         {C::Uninstall}, nullptr, &CommandLine::backupFile},
        {"--list", 0, nullptr, ValueKind::None,
         "show what the backup holds and its manifest; nothing is restored",
         {C::Restore}, &CommandLine::list, nullptr},
        {"--force", 0, nullptr, ValueKind::None,
         "put the backup's files and links in the place of those that exist now (never of a folder or a "
         "symbolic link)",
         {C::Restore}, &CommandLine::force, nullptr},
        {"--log", 0, "FILE", ValueKind::File,
         "append the log of every action to FILE instead of /Library/Logs/Uninstaller.log of the system",
         {C::Uninstall, C::Restore}, nullptr, &CommandLine::logFile},
    };
    // clang-format on
    return table;
}

const CommandSpec* findCommand(std::string_view name) {
    for (const CommandSpec& command : commands()) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

const CommandSpec* specOf(Command command) {
    for (const CommandSpec& spec : commands()) {
        if (spec.command == command) {
            return &spec;
        }
    }
    return nullptr;
}

const OptionSpec* findLong(std::string_view name) {
    for (const OptionSpec& option : options()) {
        if (name == option.longName) {
            return &option;
        }
    }
    return nullptr;
}

const OptionSpec* findShort(char letter) {
    for (const OptionSpec& option : options()) {
        if (option.shortName != 0 && option.shortName == letter) {
            return &option;
        }
    }
    return nullptr;
}

bool appliesTo(const OptionSpec& option, Command command) {
    if (option.commands.empty() || command == Command::None) {
        return true;
    }
    for (const Command owner : option.commands) {
        if (owner == command) {
            return true;
        }
    }
    return false;
}

std::string displayName(const OptionSpec& option) {
    std::string name = option.shortName != 0 ? std::string("-") + option.shortName + ", " : "";
    name += option.longName;
    if (option.valueName != nullptr) {
        name += std::string(" ") + option.valueName;
    }
    return name;
}

std::string commandNames(const OptionSpec& option) {
    std::string names;
    for (size_t i = 0; i < option.commands.size(); ++i) {
        const CommandSpec* spec = specOf(option.commands[i]);
        names += (i == 0                            ? ""
                  : i + 1 == option.commands.size() ? " and "
                                                    : ", ") +
                 std::string(spec != nullptr ? spec->name : "?");
    }
    return names;
}

std::string synopsis(const CommandSpec& command) {
    std::string line = std::string("uninstaller-cli [OPTIONS] ") + command.name;
    for (const OptionSpec& option : options()) {
        if (!option.commands.empty() && appliesTo(option, command.command)) {
            line += " [" + std::string(option.longName) +
                    (option.valueName != nullptr ? std::string(" ") + option.valueName : "") + "]";
        }
    }
    switch (command.operands) {
    case Operands::Names:
        return line + " NAME...";
    case Operands::File:
        return line + " FILE";
    case Operands::CommandName:
        return line + " [COMMAND]";
    case Operands::Words:
        return line + " WORD...";
    case Operands::None:
        break;
    }
    return line;
}

} // namespace commandtable
