#pragma once

#include <string>
#include <string_view>
#include <vector>

// JSON text for the audit log and the command line: always valid UTF-8, control characters escaped.
namespace jsontext {

/// The text as a JSON string, quotes included; bytes that are not UTF-8 become U+FFFD and control
/// characters (C0, DEL, C1) are escaped.
std::string quoted(std::string_view text);

/// An array of strings: ["a", "b"].
std::string array(const std::vector<std::string>& items);

} // namespace jsontext
