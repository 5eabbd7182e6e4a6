#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

/// A ".strings" table: "key" = "value"; entries in UTF-8 or UTF-16 with a byte-order mark, or a binary
/// property list of strings.
class StringsTable {
public:
    /// Parses the bytes of a strings file; nullopt for any syntax error or an encoding it cannot read
    /// (a damaged file gives no table at all, never a partial one). A repeated key keeps its last value.
    static std::optional<std::map<std::string, std::string>> parse(std::string_view bytes);
};
