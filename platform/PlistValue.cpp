#include "platform/PlistValue.h"

PlistValue PlistValue::stringArray(const std::vector<std::string>& items) {
    Array array;
    array.reserve(items.size());
    for (const std::string& item : items) {
        array.emplace_back(item);
    }
    return PlistValue(std::move(array));
}

PlistValue::Type PlistValue::type() const {
    static constexpr Type kTypes[] = {Type::String,  Type::Integer,    Type::Real,
                                      Type::Boolean, Type::Date,       Type::Data,
                                      Type::Array,   Type::Dictionary, Type::Uid};
    return kTypes[mValue.index()];
}

const PlistValue* PlistValue::find(std::string_view key) const {
    if (!isDictionary()) {
        return nullptr;
    }
    for (const auto& [name, value] : asDictionary()) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

PlistValue* PlistValue::find(std::string_view key) {
    return const_cast<PlistValue*>(static_cast<const PlistValue*>(this)->find(key));
}

void PlistValue::set(const std::string& key, PlistValue value) {
    if (!isDictionary()) {
        return;
    }
    if (PlistValue* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    asDictionary().emplace_back(key, std::move(value));
}

bool PlistValue::erase(std::string_view key) {
    if (!isDictionary()) {
        return false;
    }
    Dictionary& entries = asDictionary();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->first == key) {
            entries.erase(it);
            return true;
        }
    }
    return false;
}

std::optional<std::string> PlistValue::stringForKey(std::string_view key) const {
    const PlistValue* value = find(key);
    if (value == nullptr || !value->isString()) {
        return std::nullopt;
    }
    return value->asString();
}

std::optional<std::vector<std::string>> PlistValue::asStringArray() const {
    if (!isArray()) {
        return std::nullopt;
    }
    std::vector<std::string> items;
    items.reserve(asArray().size());
    for (const PlistValue& item : asArray()) {
        if (!item.isString()) {
            return std::nullopt;
        }
        items.push_back(item.asString());
    }
    return items;
}
