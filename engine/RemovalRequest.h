#pragma once

#include "common/PackageInfoEntry.h"

#include <optional>
#include <string>
#include <vector>

/// What one software leaves outside its files, from its record: Dock labels ("dockItems"), login items
/// ("loginWindows"), launch-agent labels ("launchAgents"), its uninstall information file
/// ("uninstallPList"; "" or absent for software known only from receipts) and its packages, whose
/// receipts go ("receiptsInfo").
struct RemovalRequest {
    std::optional<std::vector<std::string>> dockItems;
    std::optional<std::vector<std::string>> loginWindows;
    std::optional<std::vector<std::string>> launchAgents;
    std::optional<std::string> uninstallPList;
    std::optional<std::vector<PackageInfoEntry>> receiptsInfo;

    bool operator==(const RemovalRequest&) const = default;
};
