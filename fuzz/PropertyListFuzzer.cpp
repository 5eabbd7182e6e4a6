// Property lists in XML or binary form, then the checked reading of an uninstall information file's
// keys: any bytes give a value or nothing, never a crash, a runaway recursion or a read outside them.

#include "catalogue/UnInstallInformation.h"
#include "fuzz/TouchInformation.h"
#include "platform/PropertyList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<PlistValue> root =
        PropertyList::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!root) {
        return 0;
    }
    fuzzing::touchValue(*root);
    const std::optional<UnInstallInformation> info = UnInstallInformation::fromPlist(*root);
    if (!info) {
        return 0;
    }
    fuzzing::touch(*info);
    return 0;
}
