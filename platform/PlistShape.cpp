#include "platform/PlistShape.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace plistshape {

namespace {

// XML: arrays and dictionaries opened minus those closed, skipping comments, CDATA, processing
// instructions and the document type, whose text may hold anything.
bool xmlWithinLimits(std::string_view text) {
    size_t depth = 0;
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = text.substr(at);
        auto skipPast = [&](std::string_view end) {
            const size_t found = text.find(end, at);
            at = found == std::string_view::npos ? text.size() : found + end.size();
        };
        if (rest.starts_with("<!--")) {
            skipPast("-->");
            continue;
        }
        if (rest.starts_with("<![CDATA[")) {
            skipPast("]]>");
            continue;
        }
        if (rest.starts_with("<?")) {
            skipPast("?>");
            continue;
        }
        const size_t close = text.find('>', at);
        if (close == std::string_view::npos) {
            return true; // not well-formed: the parser will refuse it
        }
        const std::string_view tag = text.substr(at + 1, close - at - 1);
        at = close + 1;
        if (tag.starts_with('!')) {
            continue;
        }
        const bool closing = tag.starts_with('/');
        const bool empty = tag.ends_with('/');
        std::string_view name = tag.substr(closing ? 1 : 0);
        name = name.substr(0, name.find_first_of(" \t\r\n/"));
        if (name != "array" && name != "dict") {
            continue;
        }
        if (closing) {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (!empty && ++depth > kMaxDepth) {
            return false;
        }
    }
    return true;
}

class BinaryShape {
public:
    explicit BinaryShape(std::string_view bytes) : mBytes(bytes) {}

    bool withinLimits() {
        if (mBytes.size() < 8 + 32) {
            return true;
        }
        const size_t trailer = mBytes.size() - 32;
        mOffsetSize = static_cast<uint8_t>(mBytes[trailer + 6]);
        mRefSize = static_cast<uint8_t>(mBytes[trailer + 7]);
        const uint64_t count = number(trailer + 8, 8);
        const uint64_t top = number(trailer + 16, 8);
        mTable = number(trailer + 24, 8);
        if (mOffsetSize < 1 || mOffsetSize > 8 || mRefSize < 1 || mRefSize > 8 || count == 0 ||
            top >= count || mTable > trailer || count > (trailer - mTable) / mOffsetSize) {
            return true;
        }
        mCount = count;
        return measure(top);
    }

private:
    uint64_t number(size_t at, size_t size) const {
        uint64_t value = 0;
        for (size_t i = 0; i < size; ++i) {
            value = (value << 8) | static_cast<uint8_t>(mBytes[at + i]);
        }
        return value;
    }

    // An object's type (the marker's high half), its count of items or units, and where they start;
    // nullopt for an object that is not where the table says or whose count is damaged.
    struct Object {
        uint8_t type = 0;
        uint64_t count = 0;
        uint64_t at = 0;
    };
    std::optional<Object> objectAt(uint64_t index) const {
        const uint64_t offset = number(static_cast<size_t>(mTable + index * mOffsetSize), mOffsetSize);
        if (offset >= mTable) {
            return std::nullopt;
        }
        const auto marker = static_cast<uint8_t>(mBytes[offset]);
        Object object{static_cast<uint8_t>(marker >> 4), uint64_t{marker & 0x0Fu}, offset + 1};
        if (object.count == 0x0F) {
            if (object.at >= mTable || (static_cast<uint8_t>(mBytes[object.at]) >> 4) != 0x1) {
                return std::nullopt;
            }
            const size_t size = size_t{1} << (static_cast<uint8_t>(mBytes[object.at]) & 0x0F);
            if (size > 8 || object.at + 1 + size > mTable) {
                return std::nullopt;
            }
            object.count = number(static_cast<size_t>(object.at + 1), size);
            object.at += 1 + size;
        }
        return object;
    }

    // True when the object is a UTF-16 string holding U+0000. The library keeps such a dictionary key
    // with a length that is not its C string's, and stops the whole program when the key is read.
    bool isStringWithNul(uint64_t index) const {
        const std::optional<Object> object = index < mCount ? objectAt(index) : std::nullopt;
        if (!object || object->type != 0x6) {
            return false;
        }
        // Whatever part of the string lies before the trailer is looked at.
        const uint64_t end = mBytes.size() - 32;
        const uint64_t units = std::min(object->count, (end - object->at) / 2);
        for (uint64_t i = 0; i < units; ++i) {
            const size_t at = static_cast<size_t>(object->at + 2 * i);
            if (mBytes[at] == '\0' && mBytes[at + 1] == '\0') {
                return true;
            }
        }
        return false;
    }

    // The objects an array, set or dictionary refers to; empty for anything else or a damaged object.
    // nullopt for a dictionary that the library cannot be given.
    std::optional<std::vector<uint64_t>> references(uint64_t index) const {
        const std::optional<Object> object = objectAt(index);
        if (!object || (object->type != 0xA && object->type != 0xC && object->type != 0xD)) {
            return std::vector<uint64_t>();
        }
        const uint64_t items = object->count;
        const uint64_t refs = object->type == 0xD ? items * 2 : items;
        if (items > mTable || refs > (mTable - object->at) / mRefSize) {
            return std::vector<uint64_t>();
        }
        std::vector<uint64_t> children;
        children.reserve(static_cast<size_t>(refs));
        for (uint64_t i = 0; i < refs; ++i) {
            children.push_back(number(static_cast<size_t>(object->at + i * mRefSize), mRefSize));
            // A dictionary's keys come first.
            if (object->type == 0xD && i < items && isStringWithNul(children.back())) {
                return std::nullopt;
            }
        }
        return children;
    }

    // Depth and expanded size of every object reachable from the top, each worked out once.
    bool measure(uint64_t top) {
        struct Frame {
            uint64_t object;
            std::vector<uint64_t> children;
            size_t next = 0;
            size_t depth = 1;
            size_t values = 1;
        };
        enum class State : uint8_t { New, Open, Done };
        std::vector<State> state(static_cast<size_t>(mCount), State::New);
        std::vector<std::pair<size_t, size_t>> measured(static_cast<size_t>(mCount)); // depth, values
        std::vector<Frame> stack;
        std::optional<std::vector<uint64_t>> topChildren = references(top);
        if (!topChildren) {
            return false;
        }
        stack.push_back({top, std::move(*topChildren)});
        state[static_cast<size_t>(top)] = State::Open;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next == frame.children.size()) {
                measured[static_cast<size_t>(frame.object)] = {frame.depth, frame.values};
                state[static_cast<size_t>(frame.object)] = State::Done;
                const std::pair<size_t, size_t> done = {frame.depth, frame.values};
                stack.pop_back();
                if (!stack.empty()) {
                    Frame& parent = stack.back();
                    parent.depth = std::max(parent.depth, done.first + 1);
                    parent.values += done.second;
                    if (parent.depth > kMaxDepth || parent.values > kMaxValues) {
                        return false;
                    }
                }
                continue;
            }
            const uint64_t child = frame.children[frame.next++];
            if (child >= mCount) {
                continue; // a damaged reference; the parser refuses it
            }
            switch (state[static_cast<size_t>(child)]) {
            case State::Open:
                return false; // a circle of references
            case State::Done: {
                const auto [depth, values] = measured[static_cast<size_t>(child)];
                frame.depth = std::max(frame.depth, depth + 1);
                frame.values += values;
                if (frame.depth > kMaxDepth || frame.values > kMaxValues) {
                    return false;
                }
                break;
            }
            case State::New:
                if (stack.size() >= kMaxDepth) {
                    return false;
                }
                std::optional<std::vector<uint64_t>> children = references(child);
                if (!children) {
                    return false;
                }
                state[static_cast<size_t>(child)] = State::Open;
                stack.push_back({child, std::move(*children)});
                break;
            }
        }
        return true;
    }

    std::string_view mBytes;
    uint8_t mOffsetSize = 0;
    uint8_t mRefSize = 0;
    uint64_t mTable = 0;
    uint64_t mCount = 0;
};

} // namespace

bool withinLimits(std::string_view bytes) {
    if (bytes.starts_with("bplist00")) {
        return BinaryShape(bytes).withinLimits();
    }
    return xmlWithinLimits(bytes);
}

} // namespace plistshape
