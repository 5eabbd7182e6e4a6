#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

/// Explanation texts by language code, in file order.
using LocalizedTexts = std::vector<std::pair<std::string, std::string>>;

/// One row of the software table.
struct DisplayRecord {
    std::optional<bool> unInstallFlag; // "UnInstallFlag"; absent reads as NO
    std::string applicationName;       // "ApplicationName"; "Printer Driver" for the drivers
    std::string applicationVersion;    // "ApplicationVersion"; "-" when there is none
    int64_t installFileSize = 0;       // "InstallFileSize" in bytes
    std::optional<LocalizedTexts> localizedExplanationList; // "LocalizedExplanationList"
    std::vector<int32_t> softInfoMap;                       // "SoftInfoMap": indexes of the full records
    /// What could not be looked at while the size was worked out (so the size may be too small).
    std::vector<std::string> warnings;

    bool isMarkedForUninstall() const { return unInstallFlag.value_or(false); }
};
