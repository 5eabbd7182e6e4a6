#pragma once

#include "catalogue/UnInstallInformation.h"
#include "fuzz/Touch.h"
#include "platform/PlistValue.h"

// Reading the whole of a property-list value and of an uninstall information file's keys.
namespace fuzzing {

/// Reads every string, data value and key of `value`, at any depth (named apart from touch(), to which
/// a string would convert as well).
inline void touchValue(const PlistValue& value) {
    switch (value.type()) {
    case PlistValue::Type::String:
        touch(value.asString());
        break;
    case PlistValue::Type::Data:
        touch(value.asData());
        break;
    case PlistValue::Type::Array:
        for (const PlistValue& item : value.asArray()) {
            touchValue(item);
        }
        break;
    case PlistValue::Type::Dictionary:
        for (const auto& [key, item] : value.asDictionary()) {
            touch(key);
            touchValue(item);
        }
        break;
    default:
        break;
    }
}

/// Reads every string of a list that may be absent.
inline void touch(const std::optional<std::vector<std::string>>& strings) {
    for (const std::string& text : strings.value_or(std::vector<std::string>())) {
        touch(text);
    }
}

/// Reads every string the keys of an uninstall information file gave.
inline void touch(const UnInstallInformation& info) {
    touch(info.applicationName.value_or(""));
    touch(info.applicationVersionBundle.value_or(""));
    touch(info.applicationVersionString.value_or(""));
    for (const PackageInfoEntry& entry : info.packageInfo.value_or(std::vector<PackageInfoEntry>())) {
        touch(entry.packageIdentifier);
        touch(entry.packageName);
        touch(entry.packageVersion);
        touch(entry.packageType);
    }
    touch(info.removeDockItemList);
    touch(info.removeLoginWindowsItemList);
    touch(info.removeLaunchAgentsItemList);
    touch(info.removePathList);
    touch(info.restPathList);
    touch(info.allSoftwareRestPathList);
    if (info.customScript) {
        touch(info.customScript->preUnInstall);
        touch(info.customScript->postUnInstall);
    }
    for (const auto& [language, text] : info.localizedExplanationList.value_or(LocalizedTexts())) {
        touch(language);
        touch(text);
    }
}

} // namespace fuzzing
