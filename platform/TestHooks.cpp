#include "platform/TestHooks.h"

#include <cstdlib>

namespace {

// The build decides, never the environment: without the option the variables are not even looked at.
std::optional<std::string> variable([[maybe_unused]] const char* name) {
#if UNINSTALLER_TEST_HOOKS
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
        return std::string(value);
    }
#endif
    return std::nullopt;
}

} // namespace

std::optional<std::string> testhooks::bundleFolder() {
    return variable("UNINSTALLER_BUNDLE");
}

std::optional<std::string> testhooks::toolFolder() {
    return variable("UNINSTALLER_TOOL_DIR");
}

std::optional<std::string> testhooks::processList() {
    return variable("UNINSTALLER_PROCESS_LIST");
}
