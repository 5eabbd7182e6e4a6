#include "platform/StringsTable.h"

#include "platform/PropertyList.h"
#include "platform/Utf8.h"

namespace {

// UTF-16 code units to UTF-8; a lone surrogate becomes U+FFFD.
void appendUtf16(std::string& out, const std::u16string& units) {
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        utf8::appendCodePoint(out, cp);
    }
}

std::optional<std::string> decodeUtf16(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    std::string out;
    appendUtf16(out, units);
    return out;
}

// The text of the file as UTF-8, whatever form it was stored in.
std::optional<std::string> decodeText(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return decodeUtf16(bytes.substr(2), false);
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF) {
        return decodeUtf16(bytes.substr(2), true);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    if (!utf8::isValid(bytes)) {
        return std::nullopt;
    }
    return std::string(bytes);
}

bool isUnquotedCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

class Parser {
public:
    explicit Parser(std::string_view text) : mText(text) {}

    std::optional<std::map<std::string, std::string>> table() {
        std::map<std::string, std::string> entries;
        for (;;) {
            if (!skipSpace()) {
                return std::nullopt;
            }
            if (atEnd()) {
                return entries;
            }
            std::optional<std::string> key = string();
            if (!key || !skipSpace() || atEnd()) {
                return std::nullopt;
            }
            std::string value = *key;
            if (peek() == '=') {
                ++mPos;
                if (!skipSpace()) {
                    return std::nullopt;
                }
                std::optional<std::string> text = string();
                if (!text || !skipSpace()) {
                    return std::nullopt;
                }
                value = std::move(*text);
            }
            if (atEnd() || peek() != ';') {
                return std::nullopt;
            }
            ++mPos;
            entries[*key] = std::move(value);
        }
    }

private:
    bool atEnd() const { return mPos >= mText.size(); }
    char peek() const { return mText[mPos]; }

    // Skips white space and comments; false for a comment that never ends.
    bool skipSpace() {
        while (!atEnd()) {
            const char c = peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++mPos;
            } else if (c == '/' && mPos + 1 < mText.size() && mText[mPos + 1] == '*') {
                const size_t end = mText.find("*/", mPos + 2);
                if (end == std::string_view::npos) {
                    return false;
                }
                mPos = end + 2;
            } else if (c == '/' && mPos + 1 < mText.size() && mText[mPos + 1] == '/') {
                const size_t end = mText.find('\n', mPos);
                mPos = end == std::string_view::npos ? mText.size() : end + 1;
            } else {
                break;
            }
        }
        return true;
    }

    std::optional<std::string> string() {
        const char c = peek();
        if (c == '"' || c == '\'') {
            return quoted(c);
        }
        const size_t start = mPos;
        while (!atEnd() && isUnquotedCharacter(peek())) {
            ++mPos;
        }
        if (mPos == start) {
            return std::nullopt;
        }
        return std::string(mText.substr(start, mPos - start));
    }

    std::optional<std::string> quoted(char quote) {
        ++mPos;
        std::string out;
        std::u16string pending; // \U escapes, joined so that surrogate pairs combine
        auto flush = [&] {
            appendUtf16(out, pending);
            pending.clear();
        };
        while (!atEnd()) {
            const char c = mText[mPos++];
            if (c == quote) {
                flush();
                return out;
            }
            if (c != '\\') {
                flush();
                out += c;
                continue;
            }
            if (atEnd()) {
                return std::nullopt;
            }
            const char e = mText[mPos++];
            if (e == 'U') {
                uint32_t unit = 0;
                int digits = 0;
                while (digits < 4 && !atEnd() && hexValue(peek()) >= 0) {
                    unit = unit * 16 + static_cast<uint32_t>(hexValue(peek()));
                    ++mPos;
                    ++digits;
                }
                pending.push_back(static_cast<char16_t>(unit));
                continue;
            }
            flush();
            if (e >= '0' && e <= '7') {
                uint32_t byte = static_cast<uint32_t>(e - '0');
                for (int digits = 1; digits < 3 && !atEnd() && peek() >= '0' && peek() <= '7'; ++digits) {
                    byte = byte * 8 + static_cast<uint32_t>(peek() - '0');
                    ++mPos;
                }
                // NeXTSTEP bytes above ASCII are read as Latin-1, the nearest Unicode block.
                utf8::appendCodePoint(out, byte & 0xFF);
                continue;
            }
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            default:
                out += e;
                break;
            }
        }
        return std::nullopt;
    }

    std::string_view mText;
    size_t mPos = 0;
};

} // namespace

std::optional<std::map<std::string, std::string>> StringsTable::parse(std::string_view bytes) {
    if (bytes.substr(0, 8) == "bplist00") {
        std::optional<PlistValue> root = PropertyList::parse(bytes);
        if (!root || !root->isDictionary()) {
            return std::nullopt;
        }
        std::map<std::string, std::string> entries;
        for (const auto& [key, value] : root->asDictionary()) {
            if (!value.isString()) {
                return std::nullopt;
            }
            entries[key] = value.asString();
        }
        return entries;
    }
    std::optional<std::string> text = decodeText(bytes);
    if (!text) {
        return std::nullopt;
    }
    return Parser(*text).table();
}
