#pragma once

#include "platform/PlistValue.h"

#include <optional>
#include <string>

/// A macOS-style bundle folder ("X.app", "X.pkg"): Contents/Info.plist and Contents/Resources.
class Bundle {
public:
    /// The running application's bundle: the folder two levels above the executable (Contents/MacOS/..),
    /// or in a test build the one UNINSTALLER_BUNDLE names (testhooks). nullopt when that is no folder.
    static std::optional<Bundle> mainBundle();

    /// A bundle in the system being cleaned (a system path); nullopt when there is no such folder.
    static std::optional<Bundle> bundleAtSystemPath(const std::string& systemPath);

    /// A bundle at a host path; nullopt when there is no such folder.
    static std::optional<Bundle> bundleAtHostPath(const std::string& hostPath);

    /// The bundle folder: a host path, or a system path for a bundle of the system being cleaned.
    const std::string& bundlePath() const { return mPath; }

    /// Contents/Resources, in the same kind of path as bundlePath().
    std::string resourcePath() const;

    /// Contents/Helpers, where the stand-ins for missing platform tools live.
    std::string helpersPath() const;

    /// Contents/Info.plist as a dictionary; nullopt when it is missing or not a dictionary.
    std::optional<PlistValue> infoDictionary() const;

private:
    Bundle(std::string path, bool inSystem) : mPath(std::move(path)), mInSystem(inSystem) {}

    std::string mPath;
    bool mInSystem = false;
};
