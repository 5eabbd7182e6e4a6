#include "platform/StringsTable.h"
#include "platform/Localization.h"

#include <gtest/gtest.h>

using Table = std::map<std::string, std::string>;

TEST(StringsTable, CommentsQuotingAndShortcuts) {
    const auto table = StringsTable::parse(R"(/* Title
   spanning lines */
"Main.Button.Title.Close" = "Close";   // trailing comment
'single' = 'quoted';
Unquoted.Key-1 = value_2;
"Shortcut";
"dup" = "first"; "dup" = "second";
)");
    ASSERT_TRUE(table);
    EXPECT_EQ(*table, (Table{{"Main.Button.Title.Close", "Close"},
                             {"single", "quoted"},
                             {"Unquoted.Key-1", "value_2"},
                             {"Shortcut", "Shortcut"},
                             {"dup", "second"}}));
}

TEST(StringsTable, Escapes) {
    const auto table = StringsTable::parse(R"("a" = "line\nnext\ttab \"q\" \\ \' \x";)"
                                           "\n\"u\" = \"\\U00e9\\UD83D\\UDE00\\101\";");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->at("a"), "line\nnext\ttab \"q\" \\ ' x");
    EXPECT_EQ(table->at("u"), "\xC3\xA9\xF0\x9F\x98\x80"
                              "A");
}

TEST(StringsTable, Utf16WithByteOrderMark) {
    const std::u16string text = u"\"k\" = \"\u65E5\u672C\";";
    std::string little = "\xFF\xFE";
    std::string big = "\xFE\xFF";
    for (char16_t unit : text) {
        little += static_cast<char>(unit & 0xFF);
        little += static_cast<char>(unit >> 8);
        big += static_cast<char>(unit >> 8);
        big += static_cast<char>(unit & 0xFF);
    }
    EXPECT_EQ(StringsTable::parse(little)->at("k"), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(StringsTable::parse(big)->at("k"), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(StringsTable::parse("\xEF\xBB\xBF\"k\" = \"v\";")->at("k"), "v");
}

TEST(StringsTable, ErrorsGiveNoTableAtAll) {
    EXPECT_FALSE(StringsTable::parse("\"a\" = \"b\"\n\"c\" = \"d\";")); // missing semicolon
    EXPECT_FALSE(StringsTable::parse("\"a\" = \"b;"));                  // unterminated string
    EXPECT_FALSE(StringsTable::parse("\"a\" = \"b\"; /* open comment"));
    EXPECT_FALSE(StringsTable::parse("\"a\" = ;"));
    EXPECT_FALSE(StringsTable::parse("\"a\" = \"caf\xE9\";")); // not UTF-8
    EXPECT_TRUE(StringsTable::parse("")->empty());
}

TEST(Localization, ArgumentsFillTheirPlaceholdersInTheLanguagesOrder) {
    const std::vector<std::string> three = {"Scan Utility", "2", "3"};
    const struct {
        const char* text;
        std::vector<std::string> arguments;
        const char* shown;
    } cases[] = {
        {"%@ found nothing (100%%).", {"Uninstaller"}, "Uninstaller found nothing (100%)."},
        {"no placeholder", {"x"}, "no placeholder"},
        {"%1$@ and %@", {"x"}, "x and x"},
        {"%@ and %@", {"x"}, "x and %@"},
        {"%1$@（%3$@ 件中 %2$@ 件目）", three, "Scan Utility（3 件中 2 件目）"},
        {"%4$@ stays", three, "%4$@ stays"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Localization::formatWithArguments(c.text, c.arguments), c.shown) << c.text;
    }
    EXPECT_EQ(Localization().localizedString("Alert.Info.Title.9999"), "Alert.Info.Title.9999");
}

// In Arabic a Latin name inside a sentence is isolated, so that "(forced)" or "&" at its end stays
// where it is written; other languages get the name as it is.
TEST(Localization, ArgumentsAreIsolatedInRightToLeftLanguages) {
    const Localization arabic("ar", {{"k", "يزيل %@."}});
    const Localization english("en", {{"k", "Removes %@."}});
    EXPECT_EQ(arabic.format("k", "PC-FAX Driver (2)"), "يزيل \u2068PC-FAX Driver (2)\u2069.");
    EXPECT_EQ(arabic.isolatedLeftToRight("3.00 MB"), "\u20663.00 MB\u2069");
    EXPECT_EQ(english.format("k", "PC-FAX Driver (2)"), "Removes PC-FAX Driver (2).");
    EXPECT_EQ(english.isolatedLeftToRight("3.00 MB"), "3.00 MB");
}

TEST(Localization, LanguageChoice) {
    const std::vector<std::string> shipped = {"ar", "de", "en", "ja", "zh_CN"};
    EXPECT_EQ(Localization::chooseLanguage(shipped, {"ja_JP"}), "ja");
    EXPECT_EQ(Localization::chooseLanguage(shipped, {"pt_BR", "de_AT"}), "de");
    EXPECT_EQ(Localization::chooseLanguage(shipped, {"zh"}), "zh_CN");
    EXPECT_EQ(Localization::chooseLanguage(shipped, {"ko"}), "en");
    EXPECT_EQ(Localization::chooseLanguage({"fr"}, {}), "fr");
    EXPECT_EQ(Localization::chooseLanguage({}, {"en"}), "");
}

TEST(Localization, EnvironmentLanguages) {
    ::setenv("LANGUAGE", "fr_FR:de", 1);
    ::setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(Localization::preferredLanguagesFromEnvironment(),
              (std::vector<std::string>{"fr_FR", "de", "ja_JP"}));
    ::unsetenv("LANGUAGE");
    ::setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_TRUE(Localization::preferredLanguagesFromEnvironment().empty());
}
