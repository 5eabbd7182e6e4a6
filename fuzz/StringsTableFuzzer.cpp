// Strings tables in UTF-8, UTF-16 with a byte-order mark, or a binary property list: any bytes give a
// whole table or none, never a crash or a read outside them.

#include "fuzz/Touch.h"
#include "platform/StringsTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<std::map<std::string, std::string>> table =
        StringsTable::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!table) {
        return 0;
    }
    for (const auto& [key, value] : *table) {
        fuzzing::touch(key);
        fuzzing::touch(value);
    }
    return 0;
}
