// The BOM reader must turn any bytes into entries or an error, never a crash, a hang or a read outside
// the buffer.

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
    }
    return 0;
}
