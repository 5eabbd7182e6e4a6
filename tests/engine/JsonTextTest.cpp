// JSON text of the audit log and the plan: always valid UTF-8, whatever a path holds.

#include "engine/JsonText.h"

#include <gtest/gtest.h>

TEST(JsonText, EscapesWhatJsonMustAndKeepsUtf8) {
    EXPECT_EQ(jsontext::quoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(jsontext::quoted("line\nbreak\ttab\x01"), "\"line\\nbreak\\ttab\\u0001\"");
    EXPECT_EQ(jsontext::quoted("caf\xc3\xa9 \xe2\x80\xa6"), "\"caf\xc3\xa9 \xe2\x80\xa6\"");
    EXPECT_EQ(jsontext::array({"a", "b"}), "[\"a\", \"b\"]");
    EXPECT_EQ(jsontext::array({}), "[]");
}

TEST(JsonText, BytesThatAreNotUtf8BecomeTheReplacementCharacter) {
    EXPECT_EQ(jsontext::quoted("a\xff"
                               "b"),
              "\"a\xef\xbf\xbd"
              "b\"");
    EXPECT_EQ(jsontext::quoted("\xc3"), "\"\xef\xbf\xbd\"");
    EXPECT_EQ(jsontext::quoted("\xed\xa0\x80"), "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\"") << "a surrogate";
}
