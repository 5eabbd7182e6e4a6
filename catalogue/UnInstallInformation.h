#pragma once

#include "catalogue/DisplayRecord.h"
#include "catalogue/SoftwareInformationRecord.h"
#include "platform/PlistValue.h"

#include <optional>
#include <string>
#include <vector>

/// The keys of a decoded uninstall information file, each checked for its type.
struct UnInstallInformation {
    std::optional<std::string> applicationName;
    std::optional<std::string> applicationVersionBundle;
    std::optional<std::string> applicationVersionString;
    std::optional<std::vector<PackageInfoEntry>> packageInfo;
    std::optional<std::vector<std::string>> removeDockItemList;
    std::optional<std::vector<std::string>> removeLoginWindowsItemList;
    std::optional<std::vector<std::string>> removeLaunchAgentsItemList;
    std::optional<std::vector<std::string>> removePathList;
    std::optional<std::vector<std::string>> restPathList;
    std::optional<CustomScript> customScript;
    std::optional<LocalizedTexts> localizedExplanationList;
    std::optional<std::vector<std::string>> allSoftwareRestPathList;

    /// Reads the root dictionary. nullopt when a key holds a value of the wrong type (a string where an
    /// array belongs, a non-string inside one, a "CustomScript" that is no dictionary, a "PackageInfo"
    /// entry without all four strings): such a file is
    /// invalid as a whole, so that a list that cannot be read never turns into an empty one.
    static std::optional<UnInstallInformation> fromPlist(const PlistValue& root);
};
