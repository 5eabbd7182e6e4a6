#include "cli/CommandLine.h"

namespace {

// The value of "--name VALUE" or "--name=VALUE" at `i` (moving past it); nullopt when it is missing.
std::optional<std::string> optionValue(const std::vector<std::string>& arguments, size_t& i,
                                       const std::string& name) {
    const std::string& argument = arguments[i];
    if (argument == name) {
        if (i + 1 >= arguments.size()) {
            return std::nullopt;
        }
        return arguments[++i];
    }
    return argument.substr(name.size() + 1);
}

bool isOption(const std::string& argument, const std::string& name) {
    return argument == name || argument.rfind(name + "=", 0) == 0;
}

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool onlyNames = false;
    const auto takesNames = [&] {
        return line.command == Command::Plan || line.command == Command::Uninstall;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyNames) {
            line.names.push_back(argument);
        } else if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument == "--version") {
            line.version = true;
        } else if (isOption(argument, "--root")) {
            const std::optional<std::string> value = optionValue(arguments, i, "--root");
            if (!value || value->empty()) {
                line.error = "--root needs a folder";
                return line;
            }
            line.root = *value;
        } else if (argument == "--json") {
            if (line.command != Command::List && line.command != Command::Plan) {
                line.error = "--json belongs to the list and plan commands";
                return line;
            }
            line.json = true;
        } else if (argument == "--all" || argument == "--yes") {
            if (!takesNames() || (argument == "--yes" && line.command != Command::Uninstall)) {
                line.error = argument + (argument == "--yes" ? " belongs to the uninstall command"
                                                             : " belongs to the plan and uninstall commands");
                return line;
            }
            (argument == "--all" ? line.all : line.yes) = true;
        } else if (isOption(argument, "--log")) {
            const std::optional<std::string> value = optionValue(arguments, i, "--log");
            if (line.command != Command::Uninstall) {
                line.error = "--log belongs to the uninstall command";
                return line;
            }
            if (!value || value->empty()) {
                line.error = "--log needs a file";
                return line;
            }
            line.logFile = *value;
        } else if (argument == "--" && takesNames()) {
            onlyNames = true;
        } else if (line.command == Command::None &&
                   (argument == "list" || argument == "plan" || argument == "uninstall")) {
            line.command = argument == "list"   ? Command::List
                           : argument == "plan" ? Command::Plan
                                                : Command::Uninstall;
        } else if (!argument.empty() && argument.front() == '-') {
            line.error = "unknown option " + argument;
            return line;
        } else if (takesNames()) {
            line.names.push_back(argument);
        } else {
            line.error = line.command == Command::None ? "unknown command " + argument
                                                       : "unexpected argument " + argument;
            return line;
        }
    }
    if (line.command == Command::None && !line.help && !line.version) {
        line.error = "no command given";
    } else if (takesNames() && line.names.empty() && !line.all && !line.help && !line.version) {
        line.error = "name the software to " +
                     std::string(line.command == Command::Plan ? "plan" : "uninstall") +
                     " (as list prints it), or give --all";
    }
    return line;
}

std::string CommandLine::usage() {
    return "usage: uninstaller-cli [--root DIR] COMMAND [OPTIONS]\n"
           "\n"
           "Finds TORVA's printer and fax drivers and utilities on a macOS system, lists them one line per "
           "row\n"
           "of the uninstaller's table, and removes the rows you name.\n"
           "\n"
           "Commands:\n"
           "  list                       name, version and installed size of each software, tab-separated\n"
           "  list --json                the same rows as a JSON array, with the records and packages "
           "behind\n"
           "                             each row\n"
           "  plan [--json] NAME...      what uninstalling the named rows would delete, run, edit and "
           "forget,\n"
           "                             software by software; nothing is changed\n"
           "  uninstall [--yes] [--log FILE] NAME...\n"
           "                             removes the named rows, after a question unless --yes; every "
           "action\n"
           "                             is appended to /Library/Logs/Uninstaller.log of the system (or "
           "FILE)\n"
           "\n"
           "A NAME is a row name exactly as list prints it (\"Printer Driver\" is both printer drivers); "
           "--all\n"
           "names every row. Naming the printer drivers that came from Software Update removes the other\n"
           "drivers too, as the window does.\n"
           "\n"
           "Options:\n"
           "  --root DIR      work on the macOS system tree in DIR instead of \"/\"; nothing on this machine "
           "is\n"
           "                  then asked to quit, run or changed (such steps are listed as skipped)\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "\n"
           "Ctrl-C during an uninstall finishes the software in hand, then stops.\n"
           "\n"
           "Exit status: 0 done, 1 the system cannot be read, 2 usage error (an unknown name too), 3 an\n"
           "application would not quit, 4 no TORVA software found, 5 the uninstall failed, 6 cancelled.\n";
}
