#pragma once

#include <optional>
#include <string>

/// Decides which host program runs for a platform tool named by its macOS path ("/usr/bin/lsbom").
///
/// In this order: an executable of the same base name in UNINSTALLER_TOOL_DIR (tests record calls
/// there); the path itself when it is an executable file; the stand-in in the main bundle's
/// Contents/Helpers; the base name on PATH.
class ToolResolver {
public:
    /// The host path of the program to start; nullopt when none of the places has one.
    static std::optional<std::string> resolve(const std::string& toolPath);

    /// The same for a program that must be exactly the system's own (a maker's script line): only
    /// UNINSTALLER_TOOL_DIR or the path itself, never a stand-in or a PATH lookup; nullopt otherwise.
    static std::optional<std::string> resolveExactly(const std::string& toolPath);
};
