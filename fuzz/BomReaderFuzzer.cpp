// libFuzzer target: the BOM reader must turn any bytes into entries or an error, never a crash, a
// hang or a read outside the buffer.

#include "tools/bom/BomReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const std::optional<std::vector<BomEntry>> entries =
        BomReader::read(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!entries) {
        return 0;
    }
    // Touch every path so the sanitizers see any bad one.
    size_t total = 0;
    for (const BomEntry& entry : *entries) {
        total += entry.path.size() + entry.linkTarget.size();
    }
    return total == static_cast<size_t>(-1) ? 1 : 0;
}
