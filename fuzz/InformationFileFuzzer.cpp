// An uninstall information file as the catalogue reads it: Base64 text, decoded in memory, a property
// list whose root must be a dictionary with keys, then every key checked for its type.

#include "catalogue/UnInstallInformation.h"
#include "fuzz/TouchInformation.h"
#include "platform/Base64.h"
#include "platform/PropertyList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<std::string> decoded =
        base64::decode(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!decoded) {
        return 0;
    }
    fuzzing::require(decoded->size() <= size / 4 * 3 + 3, "Base64 gives at most three bytes for four");
    fuzzing::touch(*decoded);
    const std::optional<PlistValue> root = PropertyList::parse(*decoded);
    if (!root || !root->isDictionary() || root->asDictionary().empty()) {
        return 0;
    }
    const std::optional<UnInstallInformation> info = UnInstallInformation::fromPlist(*root);
    if (!info) {
        return 0;
    }
    fuzzing::touch(*info);
    return 0;
}
