#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The sizes of the files a look measured, by path.
///
/// The paths are kept one after another in one block of text and the sizes in one array, so that the
/// tens of thousands of files of a driver cost a few allocations, and a list in name order is summed in
/// one pass side by side with the table.
class FileSizeTable {
public:
    /// Records the size of the file at `path`; a later record of the same path replaces an earlier one.
    void add(std::string_view path, uint64_t size);
    void clear();

    /// The sum of the sizes of `paths` (each counted as often as it appears): the recorded size, or for
    /// a path without one what `measure` gives (nothing adds 0).
    uint64_t total(const std::vector<std::string>& paths,
                   const std::function<std::optional<uint64_t>(const std::string&)>& measure);

private:
    struct Entry {
        size_t offset;
        size_t length;
        uint64_t size;
    };

    std::string_view pathOf(const Entry& entry) const { return {mText.data() + entry.offset, entry.length}; }
    /// Puts the entries in name order, one per path (the last recorded).
    void order();
    std::optional<uint64_t> find(std::string_view path) const;

    std::string mText;
    std::vector<Entry> mEntries;
    bool mOrdered = true;
};
