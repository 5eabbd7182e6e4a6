#pragma once

#include <string>

/// Where a system path really leads: every symbolic link on the way (whoever owns it) resolved inside the
/// system root, as a command given the path would find it.
class RealPath {
public:
    /// The standardized system path with its longest existing part resolved; the part that does not
    /// exist yet is appended as written. The path itself when nothing of it can be resolved.
    static std::string resolve(const std::string& systemPath);
};
