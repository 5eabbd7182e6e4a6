// pkgutil: answers questions about the package receipts of a volume, as the macOS tool does for the
// calls the uninstaller makes (--pkg-info, --forget, --pkgs, --files).

#include "receipts/BomReader.h"
#include "receipts/ReceiptDatabase.h"

#include "platform/ConfinedRemover.h"
#include "platform/FileManager.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: pkgutil [--volume PATH] COMMAND\n"
    "  --pkgs, --packages    list the ids of all packages with a receipt on the volume\n"
    "  --pkg-info ID         show the receipt of a package\n"
    "  --files ID            list the paths the package installed, from its bill of materials\n"
    "  --forget ID           delete the receipt of a package (its installed files stay)\n"
    "  --volume PATH         the volume to look at (default /)\n"
    "  --help                show this text\n";

enum class Command { None, PackageInfo, Forget, Packages, Files };

struct Arguments {
    Command command = Command::None;
    std::string identifier;
    std::string volume = "/";
};

int usage(const std::string& problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "pkgutil: %s\n", problem.c_str());
    }
    std::fputs(kUsage, stderr);
    return 1;
}

// Reads "--name VALUE" or "--name=VALUE"; options and commands may come in any order. On a usage error
// `problem` says what was wrong (empty when nothing was asked at all).
std::optional<Arguments> parseArguments(int argc, char** argv, bool& help, std::string& problem) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        std::optional<std::string> inlineValue;
        if (const size_t equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            inlineValue = std::string(argument.substr(equals + 1));
            argument = argument.substr(0, equals);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < argc) {
                return std::string(argv[++i]);
            }
            return std::nullopt;
        };
        const std::string name(argument);
        // Sets the command; an empty answer, or what went wrong.
        auto setCommand = [&](Command command, bool needsId) -> std::string {
            if (arguments.command != Command::None) {
                return "only one command at a time: " + name;
            }
            arguments.command = command;
            if (!needsId) {
                return inlineValue ? name + " takes no value" : "";
            }
            std::optional<std::string> id = value();
            if (!id || id->empty()) {
                return name + " needs a package id";
            }
            arguments.identifier = std::move(*id);
            return "";
        };
        if (argument == "--help" || argument == "-h") {
            help = true;
            return std::nullopt;
        } else if (argument == "--volume") {
            std::optional<std::string> volume = value();
            if (!volume || volume->empty()) {
                problem = "--volume needs a folder";
            } else {
                arguments.volume = std::move(*volume);
            }
        } else if (argument == "--pkg-info") {
            problem = setCommand(Command::PackageInfo, true);
        } else if (argument == "--forget") {
            problem = setCommand(Command::Forget, true);
        } else if (argument == "--files") {
            problem = setCommand(Command::Files, true);
        } else if (argument == "--pkgs" || argument == "--packages") {
            problem = setCommand(Command::Packages, false);
        } else {
            problem = "unknown option " + name;
        }
        if (!problem.empty()) {
            return std::nullopt;
        }
    }
    if (arguments.command == Command::None) {
        problem = argc > 1 ? "no command given" : "";
        return std::nullopt;
    }
    return arguments;
}

int noReceipt(const Arguments& arguments) {
    std::fprintf(stderr, "No receipt for '%s' found at '%s'.\n", arguments.identifier.c_str(),
                 arguments.volume.c_str());
    return 1;
}

int packageInfo(const Arguments& arguments, const ReceiptDatabase& database) {
    const std::optional<ReceiptDatabase::Receipt> receipt = database.find(arguments.identifier);
    if (!receipt) {
        return noReceipt(arguments);
    }
    std::string out;
    out += "package-id: " + receipt->packageIdentifier() + "\n";
    out += "version: " + receipt->version() + "\n";
    out += "volume: " + arguments.volume + "\n";
    // Printed as stored, with the blank after the colon even when there is no location.
    out += "location: " + receipt->installPrefixPath() + "\n";
    out += "install-time: " + std::to_string(receipt->installTime()) + "\n";
    if (const std::vector<std::string> groups = receipt->groups(); !groups.empty()) {
        out += "groups:";
        for (const std::string& name : groups) {
            out += " " + name;
        }
        out += "\n";
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

// The error line macOS pkgutil prints when a receipt file cannot be deleted.
void reportRemovalError(const std::string& path, const std::string& fileName, int error) {
    const bool permission = error == EACCES || error == EPERM || error == EROFS;
    std::fprintf(
        stderr,
        "Unknown error Error Domain=NSCocoaErrorDomain Code=%d \"\u201c%s\u201d couldn\u2019t be "
        "removed%s.\" "
        "UserInfo={NSFilePath=%s, NSUnderlyingError={Error Domain=NSPOSIXErrorDomain Code=%d \"%s\"}}.\n",
        permission ? 513 : 512, fileName.c_str(),
        permission ? " because you don\u2019t have permission to access it" : "", path.c_str(), error,
        std::strerror(error));
}

// Removes one file of a receipt, walking from the volume without following any link on the way (a
// receipts folder that is a link leads into someone's files); 0, or the errno that says why not.
int removeInVolume(ConfinedRemover& remover, const std::string& path) {
    switch (remover.removeItem(path)) {
    case ConfinedRemover::Outcome::Deleted:
        return 0;
    case ConfinedRemover::Outcome::Missing:
        return ENOENT;
    case ConfinedRemover::Outcome::UnsafeLink:
        return ELOOP;
    case ConfinedRemover::Outcome::Protected:
    case ConfinedRemover::Outcome::NotReadable:
        return EPERM;
    case ConfinedRemover::Outcome::WrongKind:
    case ConfinedRemover::Outcome::NotEmpty:
        return EISDIR;
    case ConfinedRemover::Outcome::Changed:
    case ConfinedRemover::Outcome::NotKept: // this remover keeps no backup
        return EBUSY;
    case ConfinedRemover::Outcome::Failed:
        break;
    }
    return remover.lastError();
}

int forget(const Arguments& arguments, const ReceiptDatabase& database) {
    const std::optional<ReceiptDatabase::Receipt> receipt = database.find(arguments.identifier);
    if (!receipt) {
        return noReceipt(arguments);
    }
    // The bill of materials goes first; when it cannot be removed the receipt stays whole, as on macOS.
    // A receipt that has lost its bill of materials can still be forgotten.
    ConfinedRemover remover;
    bool removed = true;
    if (const int error = removeInVolume(remover, receipt->bomPath()); error != 0 && error != ENOENT) {
        reportRemovalError(receipt->bomPath(), arguments.identifier + ".bom", error);
        removed = false;
    }
    if (const int error = removed ? removeInVolume(remover, receipt->plistPath()) : 0; error != 0) {
        reportRemovalError(receipt->plistPath(), arguments.identifier + ".plist", error);
        removed = false;
    }
    // A receipt that is still there was not forgotten, whatever a caller would like to hear.
    if (!removed) {
        return 1;
    }
    std::fprintf(stdout, "Forgot package '%s' on '%s'.\n", arguments.identifier.c_str(),
                 arguments.volume.c_str());
    return 0;
}

int packages(const ReceiptDatabase& database) {
    std::string out;
    for (const std::string& identifier : database.identifiers()) {
        out += identifier + "\n";
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

int files(const Arguments& arguments, const ReceiptDatabase& database) {
    const std::optional<ReceiptDatabase::Receipt> receipt = database.find(arguments.identifier);
    if (!receipt) {
        return noReceipt(arguments);
    }
    std::string error;
    size_t leftOut = 0;
    std::optional<std::vector<BomEntry>> entries;
    if (const UniqueFd bom = FileManager::openForReading(receipt->bomPath()); bom.valid()) {
        entries = BomReader::readOpenFile(bom.get(), error, leftOut);
    } else {
        error = errno == EINVAL ? "not a regular file" : std::strerror(errno);
    }
    if (!entries) {
        std::fprintf(stderr, "pkgutil: cannot read the bill of materials %s: %s\n",
                     receipt->bomPath().c_str(), error.c_str());
        return 1;
    }
    std::string out;
    for (const BomEntry& entry : *entries) {
        if (entry.path == ".") {
            continue;
        }
        std::string_view path = entry.path;
        if (path.starts_with("./")) {
            path.remove_prefix(2);
        }
        out.append(path).append(1, '\n');
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool help = false;
    std::string problem;
    const std::optional<Arguments> arguments = parseArguments(argc, argv, help, problem);
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!arguments) {
        return usage(problem);
    }
    const std::optional<ReceiptDatabase> opened = ReceiptDatabase::open(arguments->volume);
    if (!opened) {
        std::fprintf(stderr, "pkgutil: %s: %s\n", arguments->volume.c_str(),
                     errno == ENOENT ? "no such volume" : "not a folder");
        return 1;
    }
    const ReceiptDatabase& database = *opened;
    int status = 1;
    switch (arguments->command) {
    case Command::PackageInfo:
        status = packageInfo(*arguments, database);
        break;
    case Command::Forget:
        status = forget(*arguments, database);
        break;
    case Command::Packages:
        status = packages(database);
        break;
    case Command::Files:
        status = files(*arguments, database);
        break;
    case Command::None:
        return usage("no command given");
    }
    if (std::fflush(stdout) != 0) {
        return 1;
    }
    return status;
}
