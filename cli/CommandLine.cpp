#include "cli/CommandLine.h"

#include "cli/ExitStatus.h"

#include <sstream>

namespace {

using commandtable::displayName;

constexpr size_t kWidth = 80;

// `text` broken into lines of at most kWidth columns at spaces, every line after the first indented by
// `indent`; `column` is where the first line starts. Counted in bytes: the help is ASCII.
std::string wrapped(const std::string& text, size_t indent, size_t column = 0) {
    std::string out;
    size_t at = column;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (at > indent && at + 1 + word.size() > kWidth) {
            out += '\n' + std::string(indent, ' ');
            at = indent;
        } else if (at > column || !out.empty()) {
            out += ' ';
            ++at;
        }
        out += word;
        at += word.size();
    }
    return out + '\n';
}

// Keeps the first reason: what comes after an error is still read, but the first one is told.
void fail(CommandLine& line, std::string reason) {
    if (!line.error) {
        line.error = std::move(reason);
    }
}

// Stores one option with its value (nullopt for a switch); false, with the reason in `line.error`, when
// it cannot be taken.
bool take(CommandLine& line, const OptionSpec& option, const std::string& given,
          const std::optional<std::string>& value) {
    if (option.flag != nullptr) {
        if (value) {
            fail(line, given + " takes no value");
            return false;
        }
        line.*option.flag = true;
        return true;
    }
    if (!value || value->empty()) {
        fail(line, given + " needs " + option.valueName);
        return false;
    }
    // A second value would silently win over the first: which system or log was meant is unclear.
    if (line.*option.value) {
        fail(line, std::string(option.longName) + " is given twice");
        return false;
    }
    line.*option.value = *value;
    return true;
}

// Checks what was given against the command once it is known.
void check(CommandLine& line, const std::vector<const OptionSpec*>& given) {
    for (const OptionSpec* option : given) {
        if (!commandtable::appliesTo(*option, line.command)) {
            line.error = std::string(option->longName) + " is an option of " +
                         commandtable::commandNames(*option) + ", not of " +
                         commandtable::specOf(line.command)->name;
            return;
        }
    }
    if (line.quiet && line.verbose) {
        line.error = "--quiet and --verbose cannot be given together";
        return;
    }
    if (line.help || line.version) {
        return;
    }
    const CommandSpec* command = commandtable::specOf(line.command);
    if (command == nullptr) {
        line.error = "no command given";
        return;
    }
    switch (command->operands) {
    case Operands::None:
        if (!line.names.empty()) {
            line.error = "unexpected argument '" + line.names.front() + "'";
        }
        break;
    case Operands::Names:
        if (line.names.empty() && !line.all) {
            line.error = std::string(command->name) +
                         " needs the names of the software (as list prints them), or --all";
        }
        break;
    case Operands::File:
        if (line.names.empty()) {
            line.error = std::string(command->name) + " needs the backup FILE";
        } else if (line.names.size() > 1) {
            line.error = "unexpected argument '" + line.names[1] + "'";
        } else if (line.list && line.force) {
            line.error = "--list and --force cannot be given together";
        }
        break;
    case Operands::CommandName:
        // "help plan" is the help of plan.
        line.help = true;
        line.command = Command::None;
        if (line.names.size() > 1) {
            line.error = "unexpected argument '" + line.names[1] + "'";
        } else if (line.names.size() == 1) {
            const CommandSpec* topic = commandtable::findCommand(line.names.front());
            if (topic == nullptr || topic->hidden) {
                line.error = "unknown command '" + line.names.front() + "'";
            } else {
                line.command = topic->command;
            }
        }
        line.names.clear();
        break;
    case Operands::Words:
        break;
    }
}

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::vector<const OptionSpec*> given;
    bool onlyOperands = false;
    // After an error the rest is still read, so that the command and --json are known wherever they
    // were given: uninstall --json reports a usage error as JSON too.
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyOperands) {
            line.names.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyOperands = true;
            continue;
        }
        if (argument.rfind("--", 0) == 0) {
            const size_t equals = argument.find('=');
            const std::string name = argument.substr(0, equals);
            const OptionSpec* option = commandtable::findLong(name);
            if (option == nullptr) {
                fail(line, "unknown option '" + name + "'");
                continue;
            }
            std::optional<std::string> value;
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            } else if (option->value != nullptr && i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            if (take(line, *option, name, value)) {
                given.push_back(option);
            }
            continue;
        }
        if (argument.size() > 1 && argument.front() == '-') {
            // Short switches, alone or together: "-q", "-qv".
            for (size_t at = 1; at < argument.size(); ++at) {
                const OptionSpec* option = commandtable::findShort(argument[at]);
                if (option == nullptr || option->flag == nullptr) {
                    fail(line, "unknown option '-" + std::string(1, argument[at]) + "'");
                    continue;
                }
                take(line, *option, displayName(*option), std::nullopt);
                given.push_back(option);
            }
            continue;
        }
        if (line.command == Command::None) {
            const CommandSpec* command = commandtable::findCommand(argument);
            if (command == nullptr) {
                fail(line, "unknown command '" + argument + "'");
                continue;
            }
            line.command = command->command;
            // The words to complete are taken as they come, options among them.
            onlyOperands = command->operands == Operands::Words;
            continue;
        }
        line.names.push_back(argument);
    }
    if (!line.error) {
        check(line, given);
    }
    return line;
}

std::string CommandLine::helpText(Command command) {
    std::ostringstream out;
    const auto printOptions = [&](bool global) {
        for (const OptionSpec& option : commandtable::options()) {
            if (option.commands.empty() != global || (!global && !commandtable::appliesTo(option, command))) {
                continue;
            }
            std::string name = "  " + displayName(option);
            name.resize(std::max<size_t>(name.size() + 2, 18), ' ');
            out << name << wrapped(option.help, 18, name.size());
        }
    };
    if (const CommandSpec* spec = commandtable::specOf(command)) {
        out << "usage: " << wrapped(commandtable::synopsis(*spec), 7, 7) << '\n'
            << wrapped(spec->description, 0);
        if (spec->operands == Operands::Names) {
            out << '\n'
                << wrapped(
                       "A NAME is a row name exactly as list prints it (\"Printer Driver\" is both printer "
                       "drivers); --all names every row. Naming the printer drivers that came from Software "
                       "Update removes the other drivers too.",
                       0);
        }
        bool hasOwn = false;
        for (const OptionSpec& option : commandtable::options()) {
            hasOwn = hasOwn || (!option.commands.empty() && commandtable::appliesTo(option, command));
        }
        if (hasOwn) {
            out << "\nOptions:\n";
            printOptions(/*global=*/false);
        }
        out << "\nOptions for every command: uninstaller-cli --help\n";
        return out.str();
    }
    out << "usage: uninstaller-cli [OPTIONS] COMMAND [ARGUMENTS]\n\n"
        << wrapped(
               "Finds TORVA's printer and fax drivers and utilities on a macOS system, lists them one line "
               "per row of the uninstaller's table, and removes the rows you name.",
               0)
        << "\nCommands:\n";
    for (const CommandSpec& spec : commandtable::commands()) {
        if (!spec.hidden) {
            std::string name = std::string("  ") + spec.name;
            name.resize(14, ' ');
            out << name << wrapped(spec.summary, 14, 14);
        }
    }
    out << "\nOptions for every command (before or after it):\n";
    printOptions(/*global=*/true);
    out << '\n'
        << wrapped("\"uninstaller-cli help COMMAND\" (or \"COMMAND --help\") tells a command's own options.",
                   0)
        << "\nExit status:\n";
    for (const ExitStatusMeaning& status : kExitStatusMeanings) {
        out << "  " << exitCode(status.status) << "  " << wrapped(status.meaning, 5, 5);
    }
    return out.str();
}

std::string CommandLine::usageError(const std::string& reason) {
    return "uninstaller-cli: " + reason + "\nTry 'uninstaller-cli --help'.\n";
}
