#include "platform/PropertyList.h"

#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

namespace {

PlistValue sampleDock() {
    PlistValue tile = plistDictionary(
        {{"GUID", PlistValue::integer(1706939552)},
         {"tile-data",
          plistDictionary({{"file-label", "TORVA Utility"}, {"file-type", PlistValue::integer(41)}})},
         {"tile-type", "file-tile"}});
    return plistDictionary({{"version", PlistValue::integer(1)},
                            {"persistent-apps", PlistValue(PlistValue::Array{tile})},
                            {"autohide", PlistValue::boolean(true)},
                            {"tilesize", PlistValue::real(48.5)},
                            {"negative", PlistValue::integer(-3)},
                            {"mod-date", PlistValue::date(600000000)},
                            {"book", PlistValue::data(std::string("\0\1\2bin", 6))}});
}

} // namespace

TEST(PropertyList, XmlAndBinaryFormsReadTheSame) {
    TestSystem system;
    system.writePlist("/x.plist", sampleDock());
    system.writePlist("/b.plist", sampleDock(), /*binary=*/true);
    auto xml = PropertyList::readFile("/x.plist");
    auto binary = PropertyList::readFile("/b.plist");
    ASSERT_TRUE(xml);
    ASSERT_TRUE(binary);
    EXPECT_EQ(*xml, sampleDock());
    EXPECT_EQ(*binary, sampleDock());
}

TEST(PropertyList, RewriteKeepsEveryKeyAndItsOrder) {
    TestSystem system;
    system.writePlist("/Library/Preferences/com.apple.dock.plist", sampleDock(), /*binary=*/true);
    auto dock = PropertyList::readDictionary("/Library/Preferences/com.apple.dock.plist");
    ASSERT_TRUE(dock);
    dock->find("persistent-apps")->asArray().clear();
    ASSERT_TRUE(PropertyList::writeFileAtomically("/Library/Preferences/com.apple.dock.plist", *dock));

    auto again = PropertyList::readDictionary("/Library/Preferences/com.apple.dock.plist");
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *dock);
    std::vector<std::string> keys;
    for (const auto& [key, value] : again->asDictionary()) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"version", "persistent-apps", "autohide", "tilesize",
                                              "negative", "mod-date", "book"}));
    EXPECT_EQ(again->find("negative")->asInteger(), -3);
}

TEST(PropertyList, MalformedInputGivesNothing) {
    EXPECT_FALSE(PropertyList::parse(""));
    EXPECT_FALSE(PropertyList::parse("plain text"));
    EXPECT_FALSE(PropertyList::parse("<?xml version=\"1.0\"?><plist><dict><key>a</key>"));
    EXPECT_FALSE(PropertyList::parse(std::string("bplist00\0\0\0", 11)));
    std::string deep = "<plist version=\"1.0\">";
    for (int i = 0; i < 2000; ++i) {
        deep += "<array>";
    }
    for (int i = 0; i < 2000; ++i) {
        deep += "</array>";
    }
    deep += "</plist>";
    EXPECT_FALSE(PropertyList::parse(deep));
}

TEST(PropertyList, DictionaryReadRefusesOtherRoots) {
    TestSystem system;
    system.writePlist("/array.plist", PlistValue::stringArray({"a"}));
    EXPECT_TRUE(PropertyList::readFile("/array.plist"));
    EXPECT_FALSE(PropertyList::readDictionary("/array.plist"));
    EXPECT_FALSE(PropertyList::readDictionary("/missing.plist"));
}

TEST(PlistValue, TypedLookupsKeepAbsentAndWrongTypeApart) {
    PlistValue record =
        plistDictionary({{"name", "x"},
                         {"list", PlistValue::stringArray({"a", "b"})},
                         {"mixed", PlistValue(PlistValue::Array{PlistValue("a"), PlistValue::integer(1)})}});
    EXPECT_EQ(record.stringForKey("name"), "x");
    EXPECT_FALSE(record.stringForKey("list"));
    EXPECT_EQ(record.find("list")->asStringArray(), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(record.find("mixed")->asStringArray());
    EXPECT_EQ(record.find("absent"), nullptr);
    record.set("name", "y");
    record.set("new", "z");
    EXPECT_EQ(record.stringForKey("name"), "y");
    EXPECT_EQ(record.asDictionary().back().first, "new");
    EXPECT_TRUE(record.erase("new"));
    EXPECT_FALSE(record.erase("new"));
}
