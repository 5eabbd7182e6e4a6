// mkbom: writes a BOM file describing a folder tree, as the macOS tool of the same name does.

#include "tools/bom/BomWriter.h"
#include "tools/bom/FolderScanner.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: mkbom [-u UID] [-g GID] DIR FILE\n"
                               "  writes a bill of materials of the folder tree DIR to FILE\n"
                               "  -u UID  record every entry as owned by this user id\n"
                               "  -g GID  record every entry as owned by this group id\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 1;
}

std::optional<uint32_t> parseId(std::string_view text) {
    uint32_t value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || status != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<uint32_t> uid;
    std::optional<uint32_t> gid;
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "-u" || argument == "-g") {
            if (i + 1 >= argc) {
                return usage();
            }
            const std::optional<uint32_t> id = parseId(argv[++i]);
            if (!id) {
                std::fprintf(stderr, "mkbom: %s is not a numeric id\n", argv[i]);
                return 1;
            }
            (argument == "-u" ? uid : gid) = id;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            return usage();
        }
        operands.emplace_back(argument);
    }
    if (operands.size() != 2) {
        return usage();
    }

    std::string error;
    std::optional<std::vector<BomEntry>> entries = FolderScanner::scan(operands[0], error);
    if (!entries) {
        std::fprintf(stderr, "mkbom: %s\n", error.c_str());
        return 1;
    }
    for (BomEntry& entry : *entries) {
        if (uid) {
            entry.uid = *uid;
        }
        if (gid) {
            entry.gid = *gid;
        }
    }
    if (!BomWriter::writeFile(operands[1], *entries, error)) {
        std::fprintf(stderr, "mkbom: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
