#pragma once

#include "common/PackageInfoEntry.h"

#include <optional>
#include <string>
#include <vector>

/// "CustomScript": the shell lines run before and after a software's files are deleted.
struct CustomScript {
    std::optional<std::vector<std::string>> preUnInstall;  // "PreUnInstall"
    std::optional<std::vector<std::string>> postUnInstall; // "PostUnInstall"
};

/// How a software was found.
enum class RecordSource {
    UninstallFile, // its uninstall information file alone
    Receipts,      // Software Update receipts alone
    Merged,        // its uninstall information file and Software Update receipts
};

/// The full record of one software, read by the uninstall engine. Optional members keep "absent" apart
/// from "empty".
struct SoftwareInformationRecord {
    std::string applicationName;                                // "ApplicationName", after renaming
    std::vector<PackageInfoEntry> packageInfo;                  // "PackageInfo"
    std::optional<std::vector<std::string>> removeDockItemList; // "RemoveDockItemList"
    std::optional<std::vector<std::string>> removeLoginWindowsItemList;
    std::optional<std::vector<std::string>> removeLaunchAgentsItemList;
    std::optional<std::vector<std::string>> removePathList; // "RemovePathList"
    std::optional<std::vector<std::string>> restPathList;   // "RestPathList"
    std::optional<CustomScript> customScript;               // "CustomScript"
    std::optional<bool> unInstallFlag;                      // "UnInstallFlag"; absent reads as NO
    std::string encodePListPath;                            // "EncodePListPath"; "" for receipts alone
    RecordSource source = RecordSource::UninstallFile;

    bool isMarkedForUninstall() const { return unInstallFlag.value_or(false); }
};
