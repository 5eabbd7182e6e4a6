#include "engine/JsonText.h"

#include "platform/Utf8.h"

#include <cstdio>

namespace jsontext {

namespace {

// The length of the valid UTF-8 sequence at `i`, or 0 when there is none.
size_t sequenceLength(std::string_view text, size_t i) {
    for (size_t length = 2; length <= 4 && i + length <= text.size(); ++length) {
        if (utf8::isValid(text.substr(i, length))) {
            return length;
        }
    }
    return 0;
}

} // namespace

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else if (const size_t length = sequenceLength(text, i)) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else {
            out += "\xEF\xBF\xBD";
        }
    }
    return out + "\"";
}

std::string array(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : ", ") + quoted(items[i]);
    }
    return out + "]";
}

} // namespace jsontext
