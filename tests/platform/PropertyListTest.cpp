#include "platform/PropertyList.h"

#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <functional>

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
}

TEST(PropertyList, MalformedInputGivesNothing) {
    EXPECT_FALSE(PropertyList::parse(""));
    EXPECT_FALSE(PropertyList::parse("plain text"));
    EXPECT_FALSE(PropertyList::parse("<?xml version=\"1.0\"?><plist><dict><key>a</key>"));
    EXPECT_FALSE(PropertyList::parse(std::string("bplist00\0\0\0", 11)));
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
}

namespace {

void appendBigEndian(std::string& out, uint64_t value, size_t size) {
    for (size_t i = size; i-- > 0;) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// The objects of a binary property list followed by their offset table and the trailer; object 0 is the
// top.
std::string withTrailer(std::string bytes, const std::vector<uint64_t>& offsets, uint8_t offsetSize,
                        uint8_t refSize) {
    const uint64_t table = bytes.size();
    for (const uint64_t offset : offsets) {
        appendBigEndian(bytes, offset, offsetSize);
    }
    bytes.append(6, '\0');
    bytes.push_back(static_cast<char>(offsetSize));
    bytes.push_back(static_cast<char>(refSize));
    appendBigEndian(bytes, offsets.size(), 8);
    appendBigEndian(bytes, 0, 8);
    appendBigEndian(bytes, table, 8);
    return bytes;
}

// A binary property list of arrays: object i refers to the objects `refs(i)` (4-byte references).
std::string binaryArrays(size_t count, const std::function<std::vector<uint64_t>(size_t)>& refs) {
    std::string bytes = "bplist00";
    std::vector<uint64_t> offsets;
    for (size_t i = 0; i < count; ++i) {
        offsets.push_back(bytes.size());
        const std::vector<uint64_t> children = refs(i);
        if (children.size() < 15) {
            bytes.push_back(static_cast<char>(0xA0 | children.size()));
        } else {
            bytes.push_back(static_cast<char>(0xAF));
            bytes.push_back(static_cast<char>(0x12)); // a 4-byte count follows
            appendBigEndian(bytes, children.size(), 4);
        }
        for (const uint64_t child : children) {
            appendBigEndian(bytes, child, 4);
        }
    }
    return withTrailer(std::move(bytes), offsets, /*offsetSize=*/4, /*refSize=*/4);
}

std::string nestedXml(size_t depth) {
    std::string xml = "<?xml version=\"1.0\"?><!-- <array> in a comment --><plist version=\"1.0\">";
    for (size_t i = 0; i < depth; ++i) {
        xml += "<array>";
    }
    xml += "<array/>";
    for (size_t i = 0; i < depth; ++i) {
        xml += "</array>";
    }
    return xml + "</plist>";
}

} // namespace

// Nesting and shared references that would make the library recurse or copy without end are refused
// before it sees them; real files, however deep, are far below the limit.
TEST(PropertyList, HostileShapesAreRefusedBeforeParsing) {
    EXPECT_TRUE(PropertyList::parse(nestedXml(200)));
    EXPECT_FALSE(PropertyList::parse(nestedXml(300)));
    EXPECT_FALSE(PropertyList::parse(nestedXml(1000000)));

    auto chain = [](size_t count) {
        return binaryArrays(count, [count](size_t i) {
            return i + 1 < count ? std::vector<uint64_t>{i + 1} : std::vector<uint64_t>{};
        });
    };
    EXPECT_TRUE(PropertyList::parse(chain(200)));
    EXPECT_FALSE(PropertyList::parse(chain(300)));
    EXPECT_FALSE(PropertyList::parse(chain(1000000)));
    // Every level refers twice to the next: 2^60 values once copied.
    EXPECT_FALSE(PropertyList::parse(binaryArrays(60, [](size_t i) {
        return i + 1 < 60 ? std::vector<uint64_t>{i + 1, i + 1} : std::vector<uint64_t>{};
    })));
    // A circle of references.
    EXPECT_FALSE(
        PropertyList::parse(binaryArrays(3, [](size_t i) { return std::vector<uint64_t>{(i + 1) % 3}; })));
    // Wide but flat is fine.
    EXPECT_TRUE(PropertyList::parse(binaryArrays(
        2, [](size_t i) { return i == 0 ? std::vector<uint64_t>(5000, 1) : std::vector<uint64_t>{}; })));
}

namespace {

// A binary property list of one dictionary whose key is the UTF-16 string `key` and whose value is
// the UTF-16 string `value`.
std::string dictionaryOfUtf16(const std::u16string& key, const std::u16string& value) {
    std::string bytes = "bplist00";
    bytes += "\xD1\x01\x02"; // object 0: a dictionary of one entry, key object 1, value object 2
    std::vector<uint64_t> offsets = {8};
    for (const std::u16string* text : {&key, &value}) {
        offsets.push_back(bytes.size());
        bytes.push_back(static_cast<char>(0x60 | text->size()));
        for (const char16_t unit : *text) {
            appendBigEndian(bytes, unit, 2);
        }
    }
    return withTrailer(std::move(bytes), offsets, /*offsetSize=*/1, /*refSize=*/1);
}

} // namespace

// The library stops the program when it hands back a key holding U+0000, so such a file is refused;
// a value may hold one.
TEST(PropertyList, KeysHoldingNulAreRefusedValuesKeepIt) {
    EXPECT_FALSE(PropertyList::parse(dictionaryOfUtf16(std::u16string(u"a\0b", 3), u"v")));

    const std::optional<PlistValue> plain = PropertyList::parse(dictionaryOfUtf16(u"k\u00e9y", u"v"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->stringForKey("k\xC3\xA9y"), "v");

    const std::optional<PlistValue> nulValue =
        PropertyList::parse(dictionaryOfUtf16(u"key", std::u16string(u"a\0b", 3)));
    ASSERT_TRUE(nulValue);
    EXPECT_EQ(nulValue->stringForKey("key"), std::string("a\0b", 3));
}
