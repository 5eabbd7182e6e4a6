#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The version of the system at the system root as one number: major * 10000 + minor * 100 + patch
// (10.6 gives 100600). 101500 (10.15) stands in whenever the version cannot be read.
namespace systemversion {

/// The cached system version number, read on first use and again after the system root changed.
int32_t OSVersion();

/// Reads "/System/Library/CoreServices/SystemVersion.plist"; 101500 on any failure, never 0.
int32_t InitializeOSVersion();

/// A version string ("10.6", "10.15.4") as a number; 0 for a null, short or malformed string.
int32_t GetIntValueBundleVersion(const char* version);

/// The same for a string of at most 31 characters; 0 when it is absent, longer, or not Mac OS Roman.
int32_t GetIntValueBundleVersionCFString(const std::optional<std::string>& version);

/// Drops the cached number, so that the next OSVersion() reads the file again.
void forgetCachedOSVersion();

} // namespace systemversion
