#pragma once

#include <optional>
#include <string>
#include <vector>

/// What the removal lists read of one software besides its packages: its name (for the extension paths
/// and PPD files of the information resource file) and its own remove and rest path lists.
struct SoftwarePaths {
    std::optional<std::string> applicationName;
    std::optional<std::vector<std::string>> removePathList;
    std::optional<std::vector<std::string>> restPathList;
};
