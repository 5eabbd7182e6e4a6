// The shipped strings tables and the choice among them: every language has exactly the English keys
// with the same placeholders, and Arabic is told apart for the right-to-left layout.

#include "ui/LanguageChoice.h"

#include "tests/support/TestBundle.h"

#include "platform/Bundle.h"
#include "platform/StringsTable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <filesystem>
#include <map>

namespace {

using Table = std::map<std::string, std::string>;

QString resources() {
    return QString::fromStdString(Bundle::mainBundle()->resourcePath());
}

Table table(const QString& language) {
    QFile file(resources() + "/" + language + ".lproj/Localizable.strings");
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return StringsTable::parse(std::string_view(bytes.constData(), bytes.size())).value_or(Table());
}

// The placeholders of a text, sorted ("%@", "%1$@", "%d", "%%"): a language may put numbered ones in
// its own order.
QStringList placeholders(const std::string& text) {
    static const QRegularExpression pattern(QStringLiteral("%(?:\\d+\\$)?[@dsfu%]"));
    QStringList found;
    for (const QRegularExpressionMatch& match : pattern.globalMatch(QString::fromStdString(text))) {
        found << match.captured();
    }
    found.sort();
    return found;
}

} // namespace

class LocalizationTest : public QObject {
    Q_OBJECT

private slots:
    void everyTableHasTheEnglishKeysAndPlaceholders_data() {
        QTest::addColumn<QString>("language");
        for (const char* language : {"ja", "fr", "de", "es", "zh_CN", "ar"}) {
            QTest::newRow(language) << QString(language);
        }
    }
    void everyTableHasTheEnglishKeysAndPlaceholders() {
        QFETCH(QString, language);
        const Table english = table("en");
        const Table translated = table(language);
        QVERIFY(english.size() >= 36);
        for (const auto& [key, text] : english) {
            const auto found = translated.find(key);
            QVERIFY2(found != translated.end(), qPrintable("missing " + QString::fromStdString(key)));
            QVERIFY2(!found->second.empty(), qPrintable("empty " + QString::fromStdString(key)));
            QCOMPARE(placeholders(found->second), placeholders(text));
        }
        for (const auto& [key, text] : translated) {
            QVERIFY2(english.count(key) == 1, qPrintable("English lacks " + QString::fromStdString(key)));
        }
        // The code under which the uninstall information files give their explanations.
        QCOMPARE(QString::fromStdString(translated.at("Main.LanguageCode")), language);
    }

    void isArabicLanguageFollowsTheChosenTable_data() {
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<bool>("arabic");
        QTest::newRow("ar_EG") << QStringList{"ar_EG", "en"} << true;
        QTest::newRow("en") << QStringList{"en_US", "ar"} << false;
        QTest::newRow("nothing shipped") << QStringList{"ko"} << false;
    }
    void isArabicLanguageFollowsTheChosenTable() {
        QFETCH(QStringList, preferred);
        QFETCH(bool, arabic);
        std::vector<std::string> languages;
        for (const QString& language : preferred) {
            languages.push_back(language.toStdString());
        }
        QCOMPARE(LanguageChoice::isArabicLanguage(Bundle::mainBundle(), languages), arabic);
    }

    void aBundleWithoutArabicIsNeverArabic() {
        TestBundle bundle;
        std::filesystem::remove_all(std::filesystem::path(bundle.path()) / "Contents/Resources/ar.lproj");
        QVERIFY(!LanguageChoice::isArabicLanguage(Bundle::mainBundle(), {"ar"}));
        QVERIFY(!LanguageChoice::isArabicLanguage(std::nullopt, {"ar"}));
    }

    void preferredLanguagesHaveTheBundleForm() {
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        const std::vector<std::string> languages = LanguageChoice::preferredLanguages();
        QVERIFY(!languages.empty());
        QVERIFY(QString::fromStdString(languages.front()).startsWith("ar_"));
        for (const std::string& language : languages) {
            QVERIFY(language.find('-') == std::string::npos);
        }
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_MAIN(LocalizationTest)
#include "LocalizationTest.moc"
