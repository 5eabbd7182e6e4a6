// What "lsbom -p Mf" printed: one line per item, its symbolic mode, a tab and its path.

#include "analysis/AnalyzePathManager.h"
#include "fuzz/Touch.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view output(reinterpret_cast<const char*>(data), size);
    for (const AnalyzePathManager::BomLine& line : AnalyzePathManager::splitBomListing(output)) {
        fuzzing::touch(line.path);
        fuzzing::require(line.path.find('\n') == std::string_view::npos, "a path is one line");
        fuzzing::require(line.kind || line.path.empty(), "only the empty lines have no kind");
    }
    return 0;
}
