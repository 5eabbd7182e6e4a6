#pragma once

#include <cstdint>
#include <optional>

/// What follows the uninstall driver's result.
namespace uninstallresult {

/// The driver's result after a cancel: the sheet's end handler has already told the user.
constexpr int32_t kCancelled = 1003;

/// The alert that reports a result: 1002 for 0, 3000 and 5000 for themselves, none after a cancel.
/// Any other code is a failure and gets 5000, so that nothing unexpected reads as success.
std::optional<int32_t> alertCode(int32_t result);

} // namespace uninstallresult
