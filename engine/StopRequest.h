#pragma once

#include <optional>
#include <string>
#include <vector>

/// What stopping one software takes: its login items ("loginWindows") and the labels of its launch agents
/// ("launchAgents"), from its record. An absent list is nothing to stop.
struct StopRequest {
    std::optional<std::vector<std::string>> loginWindows;
    std::optional<std::vector<std::string>> launchAgents;

    bool operator==(const StopRequest&) const = default;
};
