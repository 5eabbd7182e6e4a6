#include "platform/PropertyList.h"

#include "platform/FileManager.h"
#include "platform/HostIo.h"
#include "platform/PlistShape.h"

#include <plist/plist.h>

#include <cstdlib>
#include <memory>

namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistDeleter>;

// Deeper nesting than any real property list holds is refused rather than followed.
constexpr int kMaxDepth = static_cast<int>(plistshape::kMaxDepth);
constexpr size_t kMaxFileSize = size_t{256} << 20;

std::optional<PlistValue> fromNode(plist_t node, int depth) {
    if (node == nullptr || depth > kMaxDepth) {
        return std::nullopt;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return PlistValue(std::string(text != nullptr ? text : "", text != nullptr ? length : 0));
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return PlistValue::boolean(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return PlistValue::integer(static_cast<int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return PlistValue::real(value);
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t micro = 0;
        plist_get_date_val(node, &seconds, &micro);
        return PlistValue::date(static_cast<double>(seconds) + static_cast<double>(micro) / 1e6);
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        return PlistValue::data(std::string(bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0));
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return PlistValue::uid(value);
    }
    case PLIST_ARRAY: {
        PlistValue::Array items;
        const uint32_t size = plist_array_get_size(node);
        items.reserve(size);
        for (uint32_t i = 0; i < size; ++i) {
            std::optional<PlistValue> item = fromNode(plist_array_get_item(node, i), depth + 1);
            if (!item) {
                return std::nullopt;
            }
            items.push_back(std::move(*item));
        }
        return PlistValue(std::move(items));
    }
    case PLIST_DICT: {
        PlistValue::Dictionary entries;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        if (iter == nullptr) {
            return std::nullopt;
        }
        std::optional<PlistValue> result;
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (key == nullptr) {
                result = PlistValue(std::move(entries));
                break;
            }
            std::string name(key);
            std::free(key);
            std::optional<PlistValue> item = fromNode(value, depth + 1);
            if (!item) {
                break;
            }
            entries.emplace_back(std::move(name), std::move(*item));
        }
        std::free(iter);
        return result;
    }
    default:
        return std::nullopt;
    }
}

plist_t toNode(const PlistValue& value) {
    switch (value.type()) {
    case PlistValue::Type::String:
        return plist_new_string(value.asString().c_str());
    case PlistValue::Type::Integer:
        return plist_new_uint(static_cast<uint64_t>(value.asInteger()));
    case PlistValue::Type::Real:
        return plist_new_real(value.asReal());
    case PlistValue::Type::Boolean:
        return plist_new_bool(value.asBoolean() ? 1 : 0);
    case PlistValue::Type::Date: {
        const double seconds = value.asDate();
        const auto whole = static_cast<int32_t>(seconds);
        const auto micro = static_cast<int32_t>((seconds - whole) * 1e6);
        return plist_new_date(whole, micro);
    }
    case PlistValue::Type::Data:
        return plist_new_data(value.asData().data(), value.asData().size());
    case PlistValue::Type::Uid:
        return plist_new_uid(value.asUid());
    case PlistValue::Type::Array: {
        plist_t array = plist_new_array();
        for (const PlistValue& item : value.asArray()) {
            plist_array_append_item(array, toNode(item));
        }
        return array;
    }
    case PlistValue::Type::Dictionary: {
        plist_t dict = plist_new_dict();
        for (const auto& [key, item] : value.asDictionary()) {
            plist_dict_set_item(dict, key.c_str(), toNode(item));
        }
        return dict;
    }
    }
    return nullptr;
}

} // namespace

std::optional<PlistValue> PropertyList::parse(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxFileSize || !plistshape::withinLimits(bytes)) {
        return std::nullopt;
    }
    plist_t raw = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
    PlistHandle root(raw);
    if (!root) {
        return std::nullopt;
    }
    return fromNode(root.get(), 0);
}

std::optional<PlistValue> PropertyList::readFile(const std::string& systemPath) {
    std::optional<std::string> bytes = FileManager::contentsAtPath(systemPath, kMaxFileSize);
    if (!bytes) {
        return std::nullopt;
    }
    return parse(*bytes);
}

std::optional<PlistValue> PropertyList::readHostFile(const std::string& hostPath) {
    std::optional<std::string> bytes =
        hostio::readRegularFile(hostPath, hostio::LastLink::Follow, kMaxFileSize);
    if (!bytes) {
        return std::nullopt;
    }
    return parse(*bytes);
}

std::optional<PlistValue> PropertyList::readDictionary(const std::string& systemPath) {
    std::optional<PlistValue> value = readFile(systemPath);
    if (!value || !value->isDictionary()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> PropertyList::toXml(const PlistValue& value) {
    PlistHandle node(toNode(value));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node.get(), &xml, &length);
    if (xml == nullptr) {
        return std::nullopt;
    }
    std::string text(xml, length);
    plist_to_xml_free(xml);
    return text;
}

std::optional<std::string> PropertyList::toBinary(const PlistValue& value) {
    PlistHandle node(toNode(value));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(node.get(), &bytes, &length);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    std::string data(bytes, length);
    plist_to_bin_free(bytes);
    return data;
}

bool PropertyList::writeFileAtomically(const std::string& systemPath, const PlistValue& value) {
    std::optional<std::string> xml = toXml(value);
    if (!xml) {
        return false;
    }
    return FileManager::writeFileAtomically(systemPath, *xml);
}
