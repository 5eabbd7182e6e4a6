#include "analysis/FileSizeTable.h"

#include <algorithm>
#include <iterator>

void FileSizeTable::add(std::string_view path, uint64_t size) {
    // Looks usually come in name order; only a record out of order calls for sorting later.
    if (mOrdered && !mEntries.empty() && path <= pathOf(mEntries.back())) {
        mOrdered = false;
    }
    mEntries.push_back({mText.size(), path.size(), size});
    mText.append(path);
}

void FileSizeTable::clear() {
    mText.clear();
    mEntries.clear();
    mOrdered = true;
}

void FileSizeTable::order() {
    if (mOrdered) {
        return;
    }
    // Stable, so that of several records of one path the last recorded ends last and is kept.
    std::stable_sort(mEntries.begin(), mEntries.end(),
                     [this](const Entry& a, const Entry& b) { return pathOf(a) < pathOf(b); });
    auto kept = mEntries.begin();
    for (auto entry = mEntries.begin(); entry != mEntries.end(); ++entry) {
        const auto next = std::next(entry);
        if (next == mEntries.end() || pathOf(*next) != pathOf(*entry)) {
            *kept++ = *entry;
        }
    }
    mEntries.erase(kept, mEntries.end());
    mOrdered = true;
}

std::optional<uint64_t> FileSizeTable::find(std::string_view path) const {
    const auto found = std::lower_bound(
        mEntries.begin(), mEntries.end(), path,
        [this](const Entry& entry, std::string_view wanted) { return pathOf(entry) < wanted; });
    if (found == mEntries.end() || pathOf(*found) != path) {
        return std::nullopt;
    }
    return found->size;
}

uint64_t FileSizeTable::total(const std::vector<std::string>& paths,
                              const std::function<std::optional<uint64_t>(const std::string&)>& measure) {
    order();
    uint64_t sum = 0;
    // Side by side while the paths come in name order (the table's cursor only moves forward); a path
    // out of order (the list's tail, say) is looked up.
    auto cursor = mEntries.begin();
    const std::string* previous = nullptr;
    for (const std::string& path : paths) {
        std::optional<uint64_t> size;
        if (previous == nullptr || *previous <= path) {
            while (cursor != mEntries.end() && pathOf(*cursor) < path) {
                ++cursor;
            }
            if (cursor != mEntries.end() && pathOf(*cursor) == path) {
                size = cursor->size;
            }
            previous = &path;
        } else {
            size = find(path);
        }
        if (!size) {
            size = measure(path);
        }
        sum += size.value_or(0);
    }
    return sum;
}
