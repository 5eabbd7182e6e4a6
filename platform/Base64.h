#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace base64 {

/// Decodes Base64 text in lines, with the decoder of OpenSSL's libcrypto that "openssl base64 -d" uses,
/// so that a file decodes here exactly as that command decodes it. nullopt when the text decodes to
/// nothing (it is no Base64, or empty).
std::optional<std::string> decode(std::string_view text);

} // namespace base64
