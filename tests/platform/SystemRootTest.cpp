#include "platform/SystemRoot.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

// Lines that find printed for a host folder map back to system paths below the folder searched, and
// nothing else does.
TEST(SystemRoot, FoundLinesMapBackBelowTheFolderSearched) {
    struct Case {
        const char* line;
        const char* hostStart;
        const char* systemStart;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"/tmp/sys/Library/Printers/TORVA/Fax", "/tmp/sys/Library/Printers", "/Library/Printers",
         "/Library/Printers/TORVA/Fax"},
        {"/tmp/sys/Library/Printers", "/tmp/sys/Library/Printers", "/Library/Printers", "/Library/Printers"},
        {"/tmp/sys/Library/PrintersX/a", "/tmp/sys/Library/Printers", "/Library/Printers", std::nullopt},
        {"find: /tmp/sys/Library/Printers/x: Permission denied", "/tmp/sys/Library/Printers",
         "/Library/Printers", std::nullopt},
        {"/Library/Caches/com.torva.fax", "/", "/Library/Caches",
         "/Library/Caches/Library/Caches/com.torva.fax"},
        {"/", "/", "/", "/"},
        {"relative", "/", "/", std::nullopt},
        // No line climbs out of the folder searched.
        {"/tmp/sys/Library/Printers/../../../etc/passwd", "/tmp/sys/Library/Printers", "/Library/Printers",
         std::nullopt},
        {"/tmp/sys/Library/Printers/a/..", "/tmp/sys/Library/Printers", "/Library/Printers", std::nullopt},
        {"/../etc", "/", "/", std::nullopt},
        {"/tmp/sys/Library/Printers/..a/b.", "/tmp/sys/Library/Printers", "/Library/Printers",
         "/Library/Printers/..a/b."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SystemRoot::systemPathBelow(c.line, c.hostStart, c.systemStart), c.expected) << c.line;
    }
}
