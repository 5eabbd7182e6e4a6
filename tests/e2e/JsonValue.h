#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

/// A JSON value read strictly (RFC 8259), so that tests can both check that a program's output is
/// valid JSON and look into it.
class JsonValue {
public:
    enum class Type { Null, Boolean, Number, String, Array, Object };

    using Array = std::vector<JsonValue>;
    using Object = std::vector<std::pair<std::string, JsonValue>>;

    /// The value of a whole text (white space around it allowed); nullopt for anything that is not
    /// exactly one valid JSON value.
    static std::optional<JsonValue> parse(std::string_view text);

    Type type() const { return static_cast<Type>(mValue.index()); }
    bool isString() const { return type() == Type::String; }
    bool isNumber() const { return type() == Type::Number; }
    bool isArray() const { return type() == Type::Array; }
    bool isObject() const { return type() == Type::Object; }

    // Accessors for the matching type; calling one on another type throws std::bad_variant_access.
    const std::string& asString() const { return std::get<std::string>(mValue); }
    const Array& asArray() const { return std::get<Array>(mValue); }
    const Object& asObject() const { return std::get<Object>(mValue); }
    /// A number written as an integer (no fraction, no exponent); nullopt for any other value.
    std::optional<int64_t> asInteger() const;

    /// The member `key` of an object; nullptr when this is no object or has no such member.
    const JsonValue* find(std::string_view key) const;
    /// The names of an object's members in order; empty for other values.
    std::vector<std::string> keys() const;

private:
    struct Number {
        std::string literal;
        bool operator==(const Number&) const = default;
    };
    friend class JsonParser;

    std::variant<std::monostate, bool, Number, std::string, Array, Object> mValue;
};
