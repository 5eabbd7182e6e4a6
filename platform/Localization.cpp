#include "platform/Localization.h"

#include "platform/Bundle.h"
#include "platform/DirectoryHandle.h"
#include "platform/HostIo.h"
#include "platform/Path.h"
#include "platform/StringsTable.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {

constexpr size_t kMaxTableSize = 16u << 20;

std::vector<std::string> bundleLanguages(const std::string& resourceFolder) {
    std::vector<std::string> languages;
    std::optional<DirectoryHandle> folder = DirectoryHandle::open(resourceFolder);
    if (!folder) {
        return languages;
    }
    for (const std::string& name : folder->sortedNames().value_or(std::vector<std::string>())) {
        if (name.size() > 6 && name.compare(name.size() - 6, 6, ".lproj") == 0) {
            languages.push_back(name.substr(0, name.size() - 6));
        }
    }
    return languages;
}

} // namespace

std::vector<std::string> Localization::preferredLanguagesFromEnvironment() {
    std::vector<std::string> languages;
    // "fr_FR.UTF-8@euro" gives "fr_FR"; "C" and "POSIX" name no language.
    auto add = [&](std::string_view locale) {
        std::string normalized(locale.substr(0, locale.find_first_of(".@")));
        std::replace(normalized.begin(), normalized.end(), '-', '_');
        if (normalized.empty() || normalized == "C" || normalized == "POSIX" ||
            std::find(languages.begin(), languages.end(), normalized) != languages.end()) {
            return;
        }
        languages.push_back(std::move(normalized));
    };
    if (const char* list = std::getenv("LANGUAGE"); list != nullptr) {
        std::string_view rest = list;
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            add(rest.substr(0, colon));
            if (colon == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(colon + 1);
        }
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
            add(value);
            break;
        }
    }
    return languages;
}

std::string Localization::chooseLanguage(const std::vector<std::string>& available,
                                         const std::vector<std::string>& preferred) {
    auto has = [&](const std::string& language) {
        return std::find(available.begin(), available.end(), language) != available.end();
    };
    for (const std::string& wanted : preferred) {
        if (has(wanted)) {
            return wanted;
        }
        std::string base = wanted.substr(0, wanted.find('_'));
        if (has(base)) {
            return base;
        }
        // "zh" alone still finds "zh_CN".
        for (const std::string& language : available) {
            if (language.substr(0, language.find('_')) == base) {
                return language;
            }
        }
    }
    if (has("en")) {
        return "en";
    }
    return available.empty() ? std::string() : available.front();
}

Localization Localization::load(const Bundle& bundle, const std::vector<std::string>& preferredLanguages) {
    const std::string resources = bundle.resourcePath();
    const std::string language = chooseLanguage(bundleLanguages(resources), preferredLanguages);
    if (language.empty()) {
        return Localization();
    }
    std::optional<std::string> bytes =
        hostio::readRegularFile(path::join(resources, language + ".lproj/Localizable.strings"),
                                hostio::LastLink::Follow, kMaxTableSize);
    if (!bytes) {
        return Localization(language, {});
    }
    std::optional<std::map<std::string, std::string>> table = StringsTable::parse(*bytes);
    return Localization(language, table ? std::move(*table) : std::map<std::string, std::string>());
}

const Localization& Localization::shared() {
    static const Localization texts = [] {
        std::optional<Bundle> bundle = Bundle::mainBundle();
        return bundle ? load(*bundle, preferredLanguagesFromEnvironment()) : Localization();
    }();
    return texts;
}

std::string Localization::localizedString(const std::string& key) const {
    auto found = mTable.find(key);
    return found == mTable.end() ? key : found->second;
}

std::string Localization::formatWithArgument(const std::string& text, const std::string& argument) {
    return formatWithArguments(text, std::vector<std::string>{argument});
}

std::string Localization::formatWithArguments(const std::string& text,
                                              const std::vector<std::string>& arguments) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            if (text[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (text[i + 1] == '@' && next < arguments.size()) {
                out += arguments[next++];
                ++i;
                continue;
            }
            // "%N$@": the N-th argument, one digit being plenty for a sentence.
            if (i + 3 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' && text[i + 2] == '$' &&
                text[i + 3] == '@') {
                const size_t position = static_cast<size_t>(text[i + 1] - '1');
                if (position < arguments.size()) {
                    out += arguments[position];
                    i += 3;
                    continue;
                }
            }
        }
        out += text[i];
    }
    return out;
}

std::string Localization::format(const std::string& key, const std::vector<std::string>& arguments) const {
    std::vector<std::string> isolatedArguments;
    isolatedArguments.reserve(arguments.size());
    for (const std::string& argument : arguments) {
        isolatedArguments.push_back(isolated(argument));
    }
    return formatWithArguments(localizedString(key), isolatedArguments);
}

bool Localization::isRightToLeft() const {
    const std::string base = mLanguage.substr(0, mLanguage.find('_'));
    return base == "ar" || base == "he" || base == "fa" || base == "ur";
}

std::string Localization::isolated(const std::string& text) const {
    // U+2068 FIRST STRONG ISOLATE … U+2069 POP DIRECTIONAL ISOLATE
    return isRightToLeft() ? "\u2068" + text + "\u2069" : text;
}

std::string Localization::isolatedLeftToRight(const std::string& text) const {
    // U+2066 LEFT-TO-RIGHT ISOLATE … U+2069 POP DIRECTIONAL ISOLATE
    return isRightToLeft() ? "\u2066" + text + "\u2069" : text;
}

std::string Localization::line(const std::string& text) const {
    // U+200F RIGHT-TO-LEFT MARK
    return isRightToLeft() ? "\u200F" + text : text;
}
