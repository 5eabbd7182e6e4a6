#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace utf8 {

/// One character read from UTF-8 text.
struct Decoded {
    uint32_t codePoint = 0;
    size_t length = 0; ///< in bytes
};

/// The character that starts at byte `at`; nullopt when the bytes there are not valid UTF-8 (overlong
/// forms, surrogates and values above U+10FFFF included) or `at` is past the end.
std::optional<Decoded> decodeAt(std::string_view text, size_t at);

/// The text with every byte that is not part of valid UTF-8 replaced by U+FFFD.
std::string withReplacements(std::string_view text);

/// The number of characters in UTF-8 text; nullopt when the bytes are not valid UTF-8 (overlong forms,
/// surrogates and values above U+10FFFF included).
std::optional<size_t> characterCount(std::string_view text);

/// Appends the UTF-8 form of a code point.
void appendCodePoint(std::string& out, uint32_t codePoint);

/// True when the bytes are valid UTF-8.
inline bool isValid(std::string_view text) {
    return characterCount(text).has_value();
}

} // namespace utf8
