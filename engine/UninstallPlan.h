#pragma once

#include "engine/RecordPlan.h"

#include <optional>
#include <string>
#include <vector>

/// What an uninstall of the ticked software would do, record by record in the order the driver takes
/// them.
struct UninstallPlan {
    std::vector<RecordPlan> records;
    /// Steps of the whole run not taken on a system that is not the running one ("quit applications",
    /// "restart Dock").
    std::vector<std::string> skipped;
    /// Set when the uninstall would refuse to start at all, with the reason.
    std::optional<std::string> refusal;
};
