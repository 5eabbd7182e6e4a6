// The installed size sums what the look that listed each file measured, whatever order the looks and
// the list come in.

#include "analysis/FileSizeTable.h"

#include <gtest/gtest.h>

#include <map>

TEST(FileSizeTable, SumsTheRecordedSizesInAnyOrderAndMeasuresTheRest) {
    FileSizeTable table;
    // A package in name order, a second one before it, and a later look at a file seen already.
    table.add("/Library/Printers/TORVA/b", 10);
    table.add("/Library/Printers/TORVA/c", 100);
    table.add("/Library/Printers/TORVA/a", 1);
    table.add("/Library/Printers/TORVA/b", 20);
    const std::map<std::string, uint64_t> onDisk = {
        {"/Library/Printers/PPDs/Contents/Resources/TORVA.ppd", 5000}};
    int measured = 0;
    auto measure = [&](const std::string& path) -> std::optional<uint64_t> {
        ++measured;
        const auto found = onDisk.find(path);
        return found == onDisk.end() ? std::nullopt : std::optional<uint64_t>(found->second);
    };

    // A list in name order with a file added at its end (as the PPD files are), one that is gone, and
    // one recorded file listed twice.
    EXPECT_EQ(
        table.total({"/Library/Printers/TORVA/a", "/Library/Printers/TORVA/b", "/Library/Printers/TORVA/b",
                     "/Library/Printers/TORVA/c", "/Library/Printers/TORVA/gone",
                     "/Library/Printers/PPDs/Contents/Resources/TORVA.ppd"},
                    measure),
        1 + 20 + 20 + 100 + 5000);
    EXPECT_EQ(measured, 2);
    EXPECT_EQ(table.total({"/Library/Printers/TORVA/c", "/Library/Printers/TORVA/a"}, measure), 101U);

    table.clear();
    EXPECT_EQ(table.total({"/Library/Printers/TORVA/a"}, measure), 0U);
}
