// What "pkgutil --pkg-info" printed: the install location is the rest of the first "location:" line.

#include "common/CommonFunctions.h"
#include "fuzz/Touch.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view output(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> location = CommonFunctions::installPointFromPackageInfo(output);
    if (!location) {
        return 0;
    }
    fuzzing::touch(*location);
    fuzzing::require(location->find('\n') == std::string::npos, "a location is one line");
    fuzzing::require(output.find("location:") != std::string_view::npos, "a location comes from its line");
    return 0;
}
