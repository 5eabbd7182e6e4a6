#include "tests/e2e/Canaries.h"

#include <gtest/gtest.h>

Canaries::Canaries(const TestSystem& system)
    : mSystem(system),
      mPaths({"/Library/Preferences/com.torva.canary.plist", "/Library/Printers/TORVA/Common/canary.dat",
              "/Library/Printers/PPDs/Contents/Resources/canary.ppd", "/var/db/receipts/com.torva.canary.txt",
              "/Users/Shared/canary.txt"}) {
    for (const std::string& path : mPaths) {
        mSystem.writeFile(path, "canary at " + path + "\n");
    }
}

void Canaries::expectIntact() const {
    for (const std::string& path : mPaths) {
        EXPECT_TRUE(mSystem.exists(path)) << path << " is gone";
        EXPECT_EQ(mSystem.read(path), "canary at " + path + "\n") << path << " changed";
    }
}
