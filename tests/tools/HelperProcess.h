#pragma once

#include <string>
#include <vector>

/// Runs one of the bundle's helper programs (lsbom, mkbom, pkgutil) as a child process and keeps
/// both of its output streams apart, so tests can check what went where.
struct HelperProcess {
    int exitStatus = -1; ///< -1 when the child did not exit normally
    std::string out;
    std::string err;

    /// The host path of a helper in the built bundle's Contents/Helpers.
    static std::string path(const std::string& name);

    /// Runs the helper `name` with `arguments`; a failure to start fails the current test.
    static HelperProcess run(const std::string& name, const std::vector<std::string>& arguments);
};
