#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

/// One value of a property list: the program's own copy of what libplist read, so that nothing above
/// the platform layer sees a C handle. Dictionaries keep their keys in file order.
class PlistValue {
public:
    enum class Type { String, Integer, Real, Boolean, Date, Data, Array, Dictionary, Uid };

    using Array = std::vector<PlistValue>;
    using Dictionary = std::vector<std::pair<std::string, PlistValue>>;

    PlistValue() : mValue(std::string()) {}
    PlistValue(std::string text) : mValue(std::move(text)) {}
    PlistValue(const char* text) : mValue(std::string(text)) {}
    PlistValue(Array items) : mValue(std::move(items)) {}
    PlistValue(Dictionary entries) : mValue(std::move(entries)) {}

    static PlistValue integer(int64_t value) { return PlistValue(Tagged<int64_t, Type::Integer>{value}); }
    static PlistValue real(double value) { return PlistValue(Tagged<double, Type::Real>{value}); }
    static PlistValue boolean(bool value) { return PlistValue(Tagged<bool, Type::Boolean>{value}); }
    /// A date as seconds since 2001-01-01 00:00:00 UTC.
    static PlistValue date(double seconds) { return PlistValue(Tagged<double, Type::Date>{seconds}); }
    static PlistValue data(std::string bytes) {
        return PlistValue(Tagged<std::string, Type::Data>{std::move(bytes)});
    }
    static PlistValue uid(uint64_t value) { return PlistValue(Tagged<uint64_t, Type::Uid>{value}); }
    static PlistValue stringArray(const std::vector<std::string>& items);

    Type type() const;
    bool isString() const { return type() == Type::String; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }

    // Accessors for the value of the matching type; calling one on another type is a programming error.
    const std::string& asString() const { return std::get<std::string>(mValue); }
    int64_t asInteger() const { return std::get<Tagged<int64_t, Type::Integer>>(mValue).value; }
    double asReal() const { return std::get<Tagged<double, Type::Real>>(mValue).value; }
    bool asBoolean() const { return std::get<Tagged<bool, Type::Boolean>>(mValue).value; }
    double asDate() const { return std::get<Tagged<double, Type::Date>>(mValue).value; }
    const std::string& asData() const { return std::get<Tagged<std::string, Type::Data>>(mValue).value; }
    uint64_t asUid() const { return std::get<Tagged<uint64_t, Type::Uid>>(mValue).value; }
    const Array& asArray() const { return std::get<Array>(mValue); }
    Array& asArray() { return std::get<Array>(mValue); }
    const Dictionary& asDictionary() const { return std::get<Dictionary>(mValue); }
    Dictionary& asDictionary() { return std::get<Dictionary>(mValue); }

    /// The value under `key` of a dictionary; nullptr when this is no dictionary or the key is absent.
    const PlistValue* find(std::string_view key) const;
    PlistValue* find(std::string_view key);

    /// Sets `key` of a dictionary, in place when it exists, else at the end. No effect on other types.
    void set(const std::string& key, PlistValue value);

    /// Removes `key` from a dictionary; false when it was not there.
    bool erase(std::string_view key);

    /// The string under `key`; nullopt when absent or not a string.
    std::optional<std::string> stringForKey(std::string_view key) const;

    /// This value as an array of strings; nullopt unless it is an array whose every element is a string.
    std::optional<std::vector<std::string>> asStringArray() const;

    bool operator==(const PlistValue& other) const { return mValue == other.mValue; }

private:
    template <typename T, Type Kind> struct Tagged {
        T value;
        bool operator==(const Tagged& other) const { return value == other.value; }
    };
    using Storage =
        std::variant<std::string, Tagged<int64_t, Type::Integer>, Tagged<double, Type::Real>,
                     Tagged<bool, Type::Boolean>, Tagged<double, Type::Date>, Tagged<std::string, Type::Data>,
                     Array, Dictionary, Tagged<uint64_t, Type::Uid>>;

    template <typename T, Type Kind>
    explicit PlistValue(Tagged<T, Kind> tagged) : mValue(std::move(tagged)) {}

    Storage mValue;
};
