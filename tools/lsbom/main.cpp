// lsbom: lists the contents of a BOM file, as the macOS tool of the same name does.

#include "receipts/BomEntry.h"
#include "receipts/BomReader.h"

#include "platform/HostIo.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr std::string_view kUsage =
    "usage: lsbom [-b] [-c] [-d] [-f] [-l] [-m] [-s] [-p FIELDS] FILE\n"
    "  -b  list block devices      -c  list character devices\n"
    "  -d  list directories        -f  list files\n"
    "  -l  list symbolic links     (none of these: list everything)\n"
    "  -m  add modification times  -s  print paths only\n"
    "  -p  print only FIELDS, tab-separated:\n"
    "      f path  F quoted path  m octal mode  M symbolic mode  u uid  U user  g gid  G group\n"
    "      / uid/gid  ? user/group  t mtime  T mtime as text  s size  c checksum\n"
    "      l link target  L quoted link target\n";

constexpr std::string_view kFieldLetters = "fFmMuUgG/?tTsclL";

// Output goes out in large pieces: the uninstaller reads listings of many thousand lines.
constexpr size_t kFlushSize = 1 << 20;

struct Options {
    bool files = false;
    bool directories = false;
    bool links = false;
    bool blockDevices = false;
    bool charDevices = false;
    bool times = false;
    std::string fields; // empty: the default form
    std::string file;
};

bool writeAll(std::string_view data) {
    return hostio::writeAll(STDOUT_FILENO, data);
}

int usage() {
    std::fputs(std::string(kUsage).c_str(), stderr);
    return 1;
}

// Options may be grouped ("-fdl", "-pf") and may follow the file name.
std::optional<Options> parseArguments(int argc, char** argv, bool& help) {
    Options options;
    bool onlyPaths = false;
    bool endOfOptions = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (endOfOptions || argument.size() < 2 || argument[0] != '-') {
            if (!options.file.empty()) {
                return std::nullopt;
            }
            options.file = argument;
            continue;
        }
        if (argument == "--") {
            endOfOptions = true;
            continue;
        }
        for (size_t k = 1; k < argument.size(); ++k) {
            switch (argument[k]) {
            case 'f':
                options.files = true;
                break;
            case 'd':
                options.directories = true;
                break;
            case 'l':
                options.links = true;
                break;
            case 'b':
                options.blockDevices = true;
                break;
            case 'c':
                options.charDevices = true;
                break;
            case 'm':
                options.times = true;
                break;
            case 's':
                onlyPaths = true;
                break;
            case 'h':
                help = true;
                return std::nullopt;
            case 'p':
                if (k + 1 < argument.size()) {
                    options.fields = argument.substr(k + 1);
                } else if (i + 1 < argc) {
                    options.fields = argv[++i];
                } else {
                    return std::nullopt;
                }
                if (options.fields.empty() ||
                    options.fields.find_first_not_of(kFieldLetters) != std::string::npos) {
                    return std::nullopt;
                }
                k = argument.size();
                break;
            default:
                return std::nullopt;
            }
        }
    }
    if (options.file.empty()) {
        return std::nullopt;
    }
    if (onlyPaths && options.fields.empty()) {
        options.fields = "f";
    }
    return options;
}

bool isSelected(const Options& options, const BomEntry& entry) {
    const bool any =
        options.files || options.directories || options.links || options.blockDevices || options.charDevices;
    if (!any) {
        return true;
    }
    switch (entry.type) {
    case BomEntry::Type::File:
        return options.files;
    case BomEntry::Type::Directory:
        return options.directories;
    case BomEntry::Type::Link:
        return options.links;
    case BomEntry::Type::Device:
        // The record does not say which; the mode's type bits do.
        return (options.blockDevices && (entry.mode & 0170000) == 0060000) ||
               (options.charDevices && (entry.mode & 0170000) == 0020000);
    }
    return false;
}

std::string octal(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%o", value);
    return buffer;
}

std::string symbolicMode(uint16_t mode) {
    std::string text = "?rwxrwxrwx";
    switch (mode & 0170000) {
    case 0040000:
        text[0] = 'd';
        break;
    case 0100000:
        text[0] = '-';
        break;
    case 0120000:
        text[0] = 'l';
        break;
    case 0060000:
        text[0] = 'b';
        break;
    case 0020000:
        text[0] = 'c';
        break;
    case 0010000:
        text[0] = 'p';
        break;
    case 0140000:
        text[0] = 's';
        break;
    default:
        break;
    }
    for (int bit = 0; bit < 9; ++bit) {
        if ((mode & (1u << (8 - bit))) == 0) {
            text[1 + bit] = '-';
        }
    }
    auto special = [&](uint16_t flag, size_t at, char set, char setWithoutExecute) {
        if ((mode & flag) != 0) {
            text[at] = text[at] == 'x' ? set : setWithoutExecute;
        }
    };
    special(04000, 3, 's', 'S');
    special(02000, 6, 's', 'S');
    special(01000, 9, 't', 'T');
    return text;
}

std::string userName(uint32_t uid) {
    if (const passwd* user = ::getpwuid(uid)) {
        return user->pw_name;
    }
    return std::to_string(uid);
}

std::string groupName(uint32_t gid) {
    if (const group* entry = ::getgrgid(gid)) {
        return entry->gr_name;
    }
    return std::to_string(gid);
}

std::string timeText(uint32_t seconds) {
    const std::time_t time = seconds;
    std::tm parts{};
    char buffer[64];
    if (::localtime_r(&time, &parts) == nullptr || std::strftime(buffer, sizeof buffer, "%c", &parts) == 0) {
        return std::to_string(seconds);
    }
    return buffer;
}

bool hasContent(const BomEntry& entry) {
    return entry.type == BomEntry::Type::File || entry.type == BomEntry::Type::Link;
}

// One field for `-p`; false when the field does not apply to this kind of entry, which leaves it out.
bool field(char letter, const BomEntry& entry, std::string& out) {
    switch (letter) {
    case 'f':
        out += entry.path;
        return true;
    case 'F':
        out.append(1, '"').append(entry.path).append(1, '"');
        return true;
    case 'm':
        out += octal(entry.mode);
        return true;
    case 'M':
        out += symbolicMode(entry.mode);
        return true;
    case 'u':
        out += std::to_string(entry.uid);
        return true;
    case 'U':
        out += userName(entry.uid);
        return true;
    case 'g':
        out += std::to_string(entry.gid);
        return true;
    case 'G':
        out += groupName(entry.gid);
        return true;
    case '/':
        out.append(std::to_string(entry.uid)).append(1, '/').append(std::to_string(entry.gid));
        return true;
    case '?':
        out.append(userName(entry.uid)).append(1, '/').append(groupName(entry.gid));
        return true;
    case 't':
        out += std::to_string(entry.mtime);
        return true;
    case 'T':
        out += timeText(entry.mtime);
        return true;
    case 's':
        if (!hasContent(entry)) {
            return false;
        }
        out += std::to_string(entry.size);
        return true;
    case 'c':
        if (!hasContent(entry)) {
            return false;
        }
        out += std::to_string(entry.checksum);
        return true;
    case 'l':
    case 'L':
        if (entry.type != BomEntry::Type::Link) {
            return false;
        }
        if (letter == 'L') {
            out.append(1, '"').append(entry.linkTarget).append(1, '"');
        } else {
            out += entry.linkTarget;
        }
        return true;
    default:
        return false;
    }
}

// The form lsbom prints without -p: path, mode, uid/gid, then what the kind of entry has.
void defaultLine(const BomEntry& entry, bool times, std::string& out) {
    out.append(entry.path).append(1, '\t');
    out.append(octal(entry.mode)).append(1, '\t');
    out.append(std::to_string(entry.uid)).append(1, '/').append(std::to_string(entry.gid));
    if (times) {
        out.append(1, '\t').append(std::to_string(entry.mtime));
    }
    if (hasContent(entry)) {
        out.append(1, '\t').append(std::to_string(entry.size));
        out.append(1, '\t').append(std::to_string(entry.checksum));
    }
    if (entry.type == BomEntry::Type::Link) {
        out.append(1, '\t').append(entry.linkTarget);
    } else if (entry.type == BomEntry::Type::Device) {
        out.append(1, '\t').append(std::to_string(entry.checksum));
    }
    out.append(1, '\n');
}

} // namespace

int main(int argc, char** argv) {
    bool help = false;
    const std::optional<Options> options = parseArguments(argc, argv, help);
    if (help) {
        return writeAll(kUsage) ? 0 : 1;
    }
    if (!options) {
        return usage();
    }

    std::string error;
    size_t leftOut = 0;
    const std::optional<std::vector<BomEntry>> entries = BomReader::readFile(options->file, error, leftOut);
    if (!entries) {
        std::fprintf(stderr, "lsbom: %s: %s\n", options->file.c_str(), error.c_str());
        return 1;
    }
    if (leftOut > 0) {
        std::fprintf(stderr, "lsbom: %s: %zu entries left out: their paths are longer than %zu bytes\n",
                     options->file.c_str(), leftOut, BomReader::kMaxPathLength);
    }

    const bool pathsOnly = options->fields == "f";
    std::string out;
    out.reserve(kFlushSize + 4096);
    for (const BomEntry& entry : *entries) {
        if (!isSelected(*options, entry)) {
            continue;
        }
        if (pathsOnly) {
            out.append(entry.path).append(1, '\n');
        } else if (options->fields.empty()) {
            defaultLine(entry, options->times, out);
        } else {
            bool first = true;
            for (const char letter : options->fields) {
                const size_t mark = out.size();
                if (!first) {
                    out.append(1, '\t');
                }
                if (field(letter, entry, out)) {
                    first = false;
                } else {
                    out.resize(mark);
                }
            }
            out.append(1, '\n');
        }
        if (out.size() >= kFlushSize) {
            if (!writeAll(out)) {
                return 1;
            }
            out.clear();
        }
    }
    // Whatever could be listed is listed; the status says that some of it was left out.
    return writeAll(out) && leftOut == 0 ? 0 : 1;
}
