// Path-string operations on any text. The input is two paths, one per line: the first is standardized and
// split, the second joined to it.

#include "fuzz/Touch.h"
#include "platform/Path.h"

#include <cstddef>
#include <cstdint>

namespace {

bool hasComponent(const std::string& path, std::string_view name) {
    for (const std::string& part : path::components(path)) {
        if (part == name) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string_view base = input.substr(0, newline);
    const std::string_view component = newline == std::string_view::npos ? "" : input.substr(newline + 1);

    const std::string standard = path::standardize(base);
    fuzzing::touch(standard);
    fuzzing::require(path::standardize(standard) == standard, "standardizing twice changes nothing");
    fuzzing::require(standard.find("//") == std::string::npos, "no repeated \"/\" is left");
    fuzzing::require(standard.empty() == base.empty(), "only an empty path standardizes to nothing");
    const bool absolute = !base.empty() && base.front() == '/';
    fuzzing::require(base.empty() || (standard.front() == '/') == absolute,
                     "an absolute path stays absolute, a relative one relative");
    fuzzing::require(!absolute || !hasComponent(standard, ".."), "no \"..\" is left below \"/\"");

    const std::vector<std::string> parts = path::components(base);
    for (size_t i = 0; i < parts.size(); ++i) {
        fuzzing::require(!parts[i].empty(), "no component is empty");
        fuzzing::require(parts[i] != "/" || i == 0, "only the first component is \"/\"");
        fuzzing::touch(parts[i]);
    }
    fuzzing::require(path::components(path::fromComponents(parts)) == parts,
                     "joining the components splits into the same components");

    const std::string joined = path::join(base, component);
    fuzzing::touch(joined);
    // What a BOM line or a listed name gives below a folder stays below it unless it climbs with "..".
    if (absolute && standard != "/" && !component.empty() && !hasComponent(std::string(component), "..")) {
        fuzzing::require(path::isInFolder(path::standardize(joined), standard),
                         "a joined path without \"..\" stays below its base");
    }
    fuzzing::touch(path::lastComponent(base));
    fuzzing::touch(path::deletingLastComponent(base));
    return 0;
}
