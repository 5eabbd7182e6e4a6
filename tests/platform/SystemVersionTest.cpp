#include "platform/SystemVersion.h"

#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

using namespace systemversion;

TEST(SystemVersion, AcceptedVersionStrings) {
    EXPECT_EQ(GetIntValueBundleVersion("10.6"), 100600);
    EXPECT_EQ(GetIntValueBundleVersion("10.15.4"), 101504);
    EXPECT_EQ(GetIntValueBundleVersion("11.0"), 110000);
    EXPECT_EQ(GetIntValueBundleVersion(" 10 . 6 "), 100600);
    EXPECT_EQ(GetIntValueBundleVersion("\t10\t.\t6\t"), 100600);
    EXPECT_EQ(GetIntValueBundleVersion("1234.5"), 12340500);
}

TEST(SystemVersion, RejectedVersionStrings) {
    for (const char* bad : {"10", "10.6.", ".10.6", "10..6", "10.6.1.2", "10.123", "10.6.123", "12345.1",
                            "10.6a", "x10.6", "1.", "", "10,6"}) {
        EXPECT_EQ(GetIntValueBundleVersion(bad), 0) << bad;
    }
    EXPECT_EQ(GetIntValueBundleVersion(nullptr), 0);
}

TEST(SystemVersion, StringFormKeepsToThirtyOneAsciiCharacters) {
    EXPECT_EQ(GetIntValueBundleVersionCFString(std::string("10.6")), 100600);
    EXPECT_EQ(GetIntValueBundleVersionCFString(std::nullopt), 0);
    const std::string padded = std::string(27, ' ') + "10.6"; // 31 characters
    EXPECT_EQ(GetIntValueBundleVersionCFString(padded), 100600);
    EXPECT_EQ(GetIntValueBundleVersionCFString(" " + padded), 0);
    EXPECT_EQ(GetIntValueBundleVersionCFString(std::string("10.6\xC3\xA9")), 0); // é
    EXPECT_EQ(GetIntValueBundleVersionCFString(std::string("10.6\xFF")), 0);     // not UTF-8
}

TEST(SystemVersion, ReadsProductVersionOfTheSystemRoot) {
    TestSystem system;
    system.writeSystemVersion("10.6.8");
    EXPECT_EQ(OSVersion(), 100608);
    // The number is kept once read.
    system.writeSystemVersion("10.14.6");
    EXPECT_EQ(OSVersion(), 100608);
    EXPECT_EQ(InitializeOSVersion(), 101406);
    // Another system root has a version of its own.
    TestSystem other;
    other.writeSystemVersion("10.5.8");
    EXPECT_EQ(OSVersion(), 100508);
}

TEST(SystemVersion, FallsBackTo1015WhenTheVersionCannotBeRead) {
    TestSystem system;
    EXPECT_EQ(InitializeOSVersion(), 101500); // no file
    system.writeFile("/System/Library/CoreServices/SystemVersion.plist", "not a plist");
    EXPECT_EQ(InitializeOSVersion(), 101500);
    system.writePlist("/System/Library/CoreServices/SystemVersion.plist",
                      plistDictionary({{"ProductName", "x"}}));
    EXPECT_EQ(InitializeOSVersion(), 101500); // no ProductVersion
    system.writePlist("/System/Library/CoreServices/SystemVersion.plist",
                      plistDictionary({{"ProductVersion", PlistValue::integer(10)}}));
    EXPECT_EQ(InitializeOSVersion(), 101500); // not a string
    system.writeSystemVersion("10.6b");
    EXPECT_EQ(InitializeOSVersion(), 101500); // a version string the parser refuses
    system.writeSystemVersion(" 10 . 6 ");
    EXPECT_EQ(InitializeOSVersion(), 100600);
}
