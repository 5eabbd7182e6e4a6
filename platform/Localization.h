#pragma once

#include <map>
#include <string>
#include <vector>

class Bundle;

/// The application's localized texts: the Localizable.strings table of the language chosen for the user.
class Localization {
public:
    /// The table of the first preferred language the bundle has (a "<lang>.lproj" folder of its
    /// resources), falling back to English. An unreadable table gives no texts, so every key shows itself.
    static Localization load(const Bundle& bundle, const std::vector<std::string>& preferredLanguages);

    /// The process-wide texts of the main bundle for the languages of the environment, loaded on first use.
    static const Localization& shared();

    /// The user's languages from LANGUAGE, LC_ALL, LC_MESSAGES and LANG ("fr_FR.UTF-8" gives "fr_FR"),
    /// most preferred first.
    static std::vector<std::string> preferredLanguagesFromEnvironment();

    /// The lproj name chosen from `available` for `preferred`: an exact match, then the language alone
    /// ("pt_BR" → "pt"); "en" when nothing matches and English is there, else the first available.
    static std::string chooseLanguage(const std::vector<std::string>& available,
                                      const std::vector<std::string>& preferred);

    Localization() = default;
    Localization(std::string language, std::map<std::string, std::string> table)
        : mLanguage(std::move(language)), mTable(std::move(table)) {}

    /// The text for a key; the key itself when the table has no such key.
    std::string localizedString(const std::string& key) const;

    /// The chosen language ("en", "ja", …); empty when the bundle has no tables.
    const std::string& language() const { return mLanguage; }

    /// Formats a text with one argument: the first "%@" (or "%1$@") becomes the argument and "%%" a
    /// single "%"; everything else stays as written.
    static std::string formatWithArgument(const std::string& text, const std::string& argument);

    /// Formats a text with several arguments: each "%@" takes the next argument in order, "%N$@" the
    /// N-th (so that a language can put them in its own order), "%%" becomes "%". A placeholder without
    /// an argument stays as written.
    static std::string formatWithArguments(const std::string& text,
                                           const std::vector<std::string>& arguments);

    /// The text of `key` with its placeholders filled; each argument is isolated (see isolated()).
    std::string format(const std::string& key, const std::vector<std::string>& arguments) const;
    std::string format(const std::string& key, const std::string& argument) const {
        return format(key, std::vector<std::string>{argument});
    }

    /// True when the chosen language is written right to left (Arabic).
    bool isRightToLeft() const;

    /// A name or number to be put into a sentence of this language: in a right-to-left language it is
    /// wrapped in Unicode first-strong isolates, so that a Latin name ending in "&" or ")" or a size such
    /// as "3.00 MB" reads as it is written instead of being reordered by the sentence around it; in other
    /// languages it is left as it is.
    std::string isolated(const std::string& text) const;

    /// A run that always reads left to right (a size: "3.00 MB"), isolated in a right-to-left language.
    std::string isolatedLeftToRight(const std::string& text) const;

    /// A line of its own (an entry of a list) that runs in this language's direction: in a right-to-left
    /// language it begins with a right-to-left mark, so that a line beginning with a Latin name still
    /// runs, and is aligned, right to left.
    std::string line(const std::string& text) const;

private:
    std::string mLanguage;
    std::map<std::string, std::string> mTable;
};
