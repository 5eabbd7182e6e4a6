// The BOM reader must turn any bytes into entries or an error, never a crash, a hang or a read outside
// the buffer; and no entry it gives may turn into a path outside the install folder or one naming
// another item than the BOM's.

#include "analysis/AnalyzePathManager.h"
#include "fuzz/Touch.h"
#include "receipts/BomReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    size_t leftOut = 0;
    const std::optional<std::vector<BomEntry>> entries =
        BomReader::read(std::string_view(reinterpret_cast<const char*>(data), size), error, leftOut);
    if (!entries) {
        fuzzing::require(!error.empty(), "a refused BOM says why");
        return 0;
    }
    for (const BomEntry& entry : *entries) {
        fuzzing::require(entry.path.size() <= BomReader::kMaxPathLength, "no path is longer than the limit");
        fuzzing::touch(entry.path);
        fuzzing::touch(entry.linkTarget);

        std::string relative;
        if (AnalyzePathManager::appendBomRelativePath(entry.path, relative) !=
            AnalyzePathManager::BomPathProblem::None) {
            continue;
        }
        fuzzing::require(relative.empty() || (relative.front() != '/' && relative.back() != '/' &&
                                              relative.find("//") == std::string::npos),
                         "a listed path is names joined by single slashes");
        fuzzing::require(relative.find_first_of(std::string_view("\n\t\0", 3)) == std::string::npos,
                         "no listed path holds a line feed, a tab or a NUL");
        const std::string inside = "/" + relative + "/";
        fuzzing::require(inside.find("/../") == std::string::npos && inside.find("/./") == std::string::npos,
                         "no listed path holds \".\" or \"..\" names");
    }
    return 0;
}
