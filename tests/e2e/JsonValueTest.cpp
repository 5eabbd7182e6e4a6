// The JSON reader the end-to-end tests check uninstaller-cli's output with: it must refuse what is not
// JSON, or a broken output would pass as valid.

#include "tests/e2e/JsonValue.h"

#include <gtest/gtest.h>

// Broken output must not pass as JSON: trailing text, bad escapes, raw control characters.
TEST(JsonReader, RefusesTextThatIsNotExactlyOneJsonValue) {
    for (const char* text :
         {"", "[", "[1,]", "{\"a\" 1}", "{\"a\":1,}", "[1] [2]", "\"tab\there\"", "\"\\x\"", "01", "1.", "-",
          "[tru]", "{'a':1}", "\"\\ud800\"", "[\"unterminated]"}) {
        EXPECT_FALSE(JsonValue::parse(text)) << text;
    }
}

// Escapes, surrogate pairs, integers and member order read back as written.
TEST(JsonReader, ReadsValuesEscapesAndMembersInOrder) {
    const std::optional<JsonValue> value = JsonValue::parse(
        " {\"name\": \"A \\\"B\\\" \\\\ \\t \\u00e9 \\ud83d\\ude00\", \"size\": 3010840, \"real\": -1.5e3,"
        " \"list\": [true, false, null, []], \"empty\": {}}\n");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->keys(), (std::vector<std::string>{"name", "size", "real", "list", "empty"}));
    EXPECT_EQ(value->find("name")->asString(), "A \"B\" \\ \t \xc3\xa9 \xf0\x9f\x98\x80");
    EXPECT_EQ(value->find("size")->asInteger(), 3010840);
    EXPECT_EQ(value->find("real")->asInteger(), std::nullopt);
    EXPECT_EQ(value->find("list")->asArray().size(), 4u);
    EXPECT_EQ(value->find("missing"), nullptr);
}
