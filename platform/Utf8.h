#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace utf8 {

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
