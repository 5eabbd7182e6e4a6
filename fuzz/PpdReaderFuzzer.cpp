// PPD files, plain or gzip-compressed, read in memory through libcups and zlib: any bytes give a PPD
// record and its filter lines, or no record, never a crash or a read outside them.

#include "analysis/PpdReader.h"
#include "fuzz/Touch.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const PpdReader ppd = PpdReader::fromBytes(std::string(reinterpret_cast<const char*>(data), size));
    if (ppd.get() == nullptr) {
        return 0;
    }
    for (const std::string& filter : PpdReader::filtersOf(ppd.get())) {
        fuzzing::touch(filter);
    }
    return 0;
}
