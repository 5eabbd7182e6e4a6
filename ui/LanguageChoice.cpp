#include "ui/LanguageChoice.h"

#include "platform/Bundle.h"
#include "platform/Localization.h"

#include <QLocale>
#include <QString>

std::vector<std::string> LanguageChoice::preferredLanguages() {
    std::vector<std::string> languages;
    for (QString language : QLocale().uiLanguages()) {
        languages.push_back(language.replace(QLatin1Char('-'), QLatin1Char('_')).toStdString());
    }
    return languages;
}

bool LanguageChoice::isArabicLanguage(const std::optional<Bundle>& bundle,
                                      const std::vector<std::string>& preferred) {
    if (!bundle) {
        return false;
    }
    const std::string chosen = Localization::load(*bundle, preferred).language();
    // The canonical identifier of the chosen table ("ar", "ar_EG" → "ar_EG"), compared by its prefix.
    return !chosen.empty() && QLocale(QString::fromStdString(chosen)).name().startsWith(QLatin1String("ar"));
}

bool LanguageChoice::isArabicLanguage() {
    return isArabicLanguage(Bundle::mainBundle(), preferredLanguages());
}
