#include "catalogue/UnInstallInformation.h"

namespace {

// Reads one optional key into `out`; false when it is present with the wrong type.
bool readString(const PlistValue& root, std::string_view key, std::optional<std::string>& out) {
    const PlistValue* value = root.find(key);
    if (value == nullptr) {
        return true;
    }
    if (!value->isString()) {
        return false;
    }
    out = value->asString();
    return true;
}

bool readStrings(const PlistValue& root, std::string_view key, std::optional<std::vector<std::string>>& out) {
    const PlistValue* value = root.find(key);
    if (value == nullptr) {
        return true;
    }
    out = value->asStringArray();
    return out.has_value();
}

} // namespace

std::optional<UnInstallInformation> UnInstallInformation::fromPlist(const PlistValue& root) {
    if (!root.isDictionary()) {
        return std::nullopt;
    }
    UnInstallInformation info;
    bool valid = readString(root, "ApplicationName", info.applicationName) &&
                 readString(root, "ApplicationVersionBundle", info.applicationVersionBundle) &&
                 readString(root, "ApplicationVersionString", info.applicationVersionString) &&
                 readStrings(root, "RemoveDockItemList", info.removeDockItemList) &&
                 readStrings(root, "RemoveLoginWindowsItemList", info.removeLoginWindowsItemList) &&
                 readStrings(root, "RemoveLaunchAgentsItemList", info.removeLaunchAgentsItemList) &&
                 readStrings(root, "RemovePathList", info.removePathList) &&
                 readStrings(root, "RestPathList", info.restPathList) &&
                 readStrings(root, "AllSoftwareRestPathList", info.allSoftwareRestPathList);
    if (!valid) {
        return std::nullopt;
    }
    if (const PlistValue* packages = root.find("PackageInfo")) {
        if (!packages->isArray()) {
            return std::nullopt;
        }
        std::vector<PackageInfoEntry> entries;
        for (const PlistValue& entry : packages->asArray()) {
            std::optional<PackageInfoEntry> package = PackageInfoEntry::fromPlist(entry);
            if (!package) {
                return std::nullopt;
            }
            entries.push_back(std::move(*package));
        }
        info.packageInfo = std::move(entries);
    }
    if (const PlistValue* script = root.find("CustomScript")) {
        if (!script->isDictionary()) {
            return std::nullopt;
        }
        CustomScript lines;
        if (!readStrings(*script, "PreUnInstall", lines.preUnInstall) ||
            !readStrings(*script, "PostUnInstall", lines.postUnInstall)) {
            return std::nullopt;
        }
        info.customScript = std::move(lines);
    }
    if (const PlistValue* texts = root.find("LocalizedExplanationList")) {
        if (!texts->isDictionary()) {
            return std::nullopt;
        }
        LocalizedTexts explanations;
        for (const auto& [language, text] : texts->asDictionary()) {
            if (!text.isString()) {
                return std::nullopt;
            }
            explanations.emplace_back(language, text.asString());
        }
        info.localizedExplanationList = std::move(explanations);
    }
    return info;
}
