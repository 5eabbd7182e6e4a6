#include "cli/CommandLine.h"

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument == "--version") {
            line.version = true;
        } else if (argument == "--root" || argument.rfind("--root=", 0) == 0) {
            std::string value;
            if (argument == "--root") {
                if (i + 1 >= arguments.size()) {
                    line.error = "--root needs a folder";
                    return line;
                }
                value = arguments[++i];
            } else {
                value = argument.substr(7);
            }
            if (value.empty()) {
                line.error = "--root needs a folder";
                return line;
            }
            line.root = value;
        } else if (argument == "--json") {
            if (line.command != Command::List) {
                line.error = "--json belongs to the list command";
                return line;
            }
            line.json = true;
        } else if (argument == "list" && line.command == Command::None) {
            line.command = Command::List;
        } else if (!argument.empty() && argument.front() == '-') {
            line.error = "unknown option " + argument;
            return line;
        } else {
            line.error = line.command == Command::None ? "unknown command " + argument
                                                       : "unexpected argument " + argument;
            return line;
        }
    }
    if (line.command == Command::None && !line.help && !line.version) {
        line.error = "no command given";
    }
    return line;
}

std::string CommandLine::usage() {
    return "usage: uninstaller-cli [--root DIR] COMMAND [OPTIONS]\n"
           "\n"
           "Finds TORVA's printer and fax drivers and utilities on a macOS system and lists them, one line "
           "per\n"
           "row of the uninstaller's table.\n"
           "\n"
           "Commands:\n"
           "  list            name, version and installed size of each software, tab-separated\n"
           "  list --json     the same rows as a JSON array, with the records and packages behind each row\n"
           "\n"
           "Options:\n"
           "  --root DIR      work on the macOS system tree in DIR instead of \"/\"\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "\n"
           "Exit status: 0 done, 1 the system cannot be read, 2 usage error, 4 no TORVA software found.\n";
}
