#include "tests/e2e/JsonValue.h"

#include "platform/Utf8.h"

#include <cstdlib>

// The recursive-descent reader behind JsonValue::parse; every method leaves `pos` after what it read
// and answers false on the first error.
class JsonParser {
public:
    explicit JsonParser(std::string_view text) : mText(text) {}

    bool document(JsonValue& value) {
        skipSpace();
        if (!readValue(value, 0)) {
            return false;
        }
        skipSpace();
        return mPos == mText.size();
    }

private:
    static constexpr int kMaxDepth = 256;

    bool readValue(JsonValue& value, int depth) {
        if (depth > kMaxDepth || mPos >= mText.size()) {
            return false;
        }
        switch (mText[mPos]) {
        case '{':
            return readObject(value, depth);
        case '[':
            return readArray(value, depth);
        case '"': {
            std::string text;
            if (!readString(text)) {
                return false;
            }
            value.mValue = std::move(text);
            return true;
        }
        case 't':
            value.mValue = true;
            return literal("true");
        case 'f':
            value.mValue = false;
            return literal("false");
        case 'n':
            value.mValue = std::monostate();
            return literal("null");
        default:
            return readNumber(value);
        }
    }

    bool readObject(JsonValue& value, int depth) {
        ++mPos;
        JsonValue::Object members;
        skipSpace();
        if (peek('}')) {
            ++mPos;
            value.mValue = std::move(members);
            return true;
        }
        for (;;) {
            skipSpace();
            std::string key;
            if (!peek('"') || !readString(key)) {
                return false;
            }
            skipSpace();
            if (!peek(':')) {
                return false;
            }
            ++mPos;
            skipSpace();
            JsonValue member;
            if (!readValue(member, depth + 1)) {
                return false;
            }
            members.emplace_back(std::move(key), std::move(member));
            skipSpace();
            if (peek('}')) {
                ++mPos;
                value.mValue = std::move(members);
                return true;
            }
            if (!peek(',')) {
                return false;
            }
            ++mPos;
        }
    }

    bool readArray(JsonValue& value, int depth) {
        ++mPos;
        JsonValue::Array items;
        skipSpace();
        if (peek(']')) {
            ++mPos;
            value.mValue = std::move(items);
            return true;
        }
        for (;;) {
            skipSpace();
            JsonValue item;
            if (!readValue(item, depth + 1)) {
                return false;
            }
            items.push_back(std::move(item));
            skipSpace();
            if (peek(']')) {
                ++mPos;
                value.mValue = std::move(items);
                return true;
            }
            if (!peek(',')) {
                return false;
            }
            ++mPos;
        }
    }

    bool readString(std::string& out) {
        ++mPos; // the opening quote
        while (mPos < mText.size()) {
            const unsigned char c = static_cast<unsigned char>(mText[mPos++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false; // control characters must be escaped
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (mPos >= mText.size()) {
                return false;
            }
            const char escape = mText[mPos++];
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                out += escape;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                uint32_t code = 0;
                if (!readHex(code)) {
                    return false;
                }
                if (code >= 0xd800 && code < 0xdc00) {
                    uint32_t low = 0;
                    if (mText.substr(mPos, 2) != "\\u" || (mPos += 2, !readHex(low)) || low < 0xdc00 ||
                        low > 0xdfff) {
                        return false;
                    }
                    code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
                } else if (code >= 0xdc00 && code <= 0xdfff) {
                    return false;
                }
                utf8::appendCodePoint(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool readHex(uint32_t& code) {
        if (mPos + 4 > mText.size()) {
            return false;
        }
        for (int i = 0; i < 4; ++i) {
            const char c = mText[mPos++];
            code <<= 4;
            if (c >= '0' && c <= '9') {
                code |= static_cast<uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= static_cast<uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= static_cast<uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool readNumber(JsonValue& value) {
        const size_t start = mPos;
        if (peek('-')) {
            ++mPos;
        }
        if (peek('0')) {
            ++mPos;
        } else if (!digits()) {
            return false;
        }
        if (peek('.')) {
            ++mPos;
            if (!digits()) {
                return false;
            }
        }
        if (peek('e') || peek('E')) {
            ++mPos;
            if (peek('+') || peek('-')) {
                ++mPos;
            }
            if (!digits()) {
                return false;
            }
        }
        value.mValue = JsonValue::Number{std::string(mText.substr(start, mPos - start))};
        return true;
    }

    bool digits() {
        const size_t start = mPos;
        while (mPos < mText.size() && mText[mPos] >= '0' && mText[mPos] <= '9') {
            ++mPos;
        }
        return mPos > start;
    }

    bool literal(std::string_view word) {
        if (mText.substr(mPos, word.size()) != word) {
            return false;
        }
        mPos += word.size();
        return true;
    }

    bool peek(char c) const { return mPos < mText.size() && mText[mPos] == c; }

    void skipSpace() {
        while (mPos < mText.size() &&
               (mText[mPos] == ' ' || mText[mPos] == '\t' || mText[mPos] == '\n' || mText[mPos] == '\r')) {
            ++mPos;
        }
    }

    std::string_view mText;
    size_t mPos = 0;
};

std::optional<JsonValue> JsonValue::parse(std::string_view text) {
    JsonValue value;
    JsonParser parser(text);
    if (!parser.document(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int64_t> JsonValue::asInteger() const {
    const Number* number = std::get_if<Number>(&mValue);
    if (number == nullptr || number->literal.find_first_of(".eE") != std::string::npos) {
        return std::nullopt;
    }
    return std::strtoll(number->literal.c_str(), nullptr, 10);
}

const JsonValue* JsonValue::find(std::string_view key) const {
    const Object* object = std::get_if<Object>(&mValue);
    if (object == nullptr) {
        return nullptr;
    }
    for (const auto& [name, value] : *object) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

std::vector<std::string> JsonValue::keys() const {
    std::vector<std::string> names;
    if (const Object* object = std::get_if<Object>(&mValue)) {
        for (const auto& member : *object) {
            names.push_back(member.first);
        }
    }
    return names;
}
