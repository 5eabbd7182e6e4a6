#include "ui/UninstallResult.h"

namespace uninstallresult {

std::optional<int32_t> alertCode(int32_t result) {
    switch (result) {
    case 0:
        return 1002;
    case 3000:
        return 3000;
    case kCancelled:
        return std::nullopt;
    default:
        return 5000;
    }
}

} // namespace uninstallresult
