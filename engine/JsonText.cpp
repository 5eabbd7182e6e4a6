#include "engine/JsonText.h"

#include "platform/Utf8.h"

#include <cstdio>

namespace jsontext {

std::string quoted(std::string_view text) {
    const std::string valid = utf8::withReplacements(text);
    std::string out = "\"";
    for (size_t at = 0; at < valid.size();) {
        const utf8::Decoded character = utf8::decodeAt(valid, at).value_or(utf8::Decoded{0xFFFD, 1});
        const std::string_view bytes(valid.data() + at, character.length);
        at += character.length;
        const uint32_t c = character.codePoint;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            // Control characters (C0, DEL and C1) never reach a terminal as themselves.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += bytes;
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
