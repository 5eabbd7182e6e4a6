#pragma once

#include <optional>
#include <string>
#include <vector>

class Bundle;

/// The language the window speaks: the first of the user's preferred languages that the bundle has a
/// table for, else English.
class LanguageChoice {
public:
    /// The user's preferred languages as the platform lists them (QLocale::uiLanguages()), in the form of
    /// the bundle's folders ("en_US", "zh_Hans_CN"), most preferred first.
    static std::vector<std::string> preferredLanguages();

    /// True when the language chosen from the bundle's tables for `preferred` is Arabic, whose texts run
    /// right to left; false without a bundle or without tables. Worked out afresh on every call.
    static bool isArabicLanguage(const std::optional<Bundle>& bundle,
                                 const std::vector<std::string>& preferred);

    /// isArabicLanguage for the main bundle and the user's languages.
    static bool isArabicLanguage();
};
