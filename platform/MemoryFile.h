#pragma once

#include "platform/UniqueFd.h"

#include <string>

/// An anonymous file in memory, for libraries that read only from a file descriptor.
class MemoryFile {
public:
    /// A readable descriptor positioned at the start of `bytes`; invalid when none can be made.
    static UniqueFd create(const std::string& bytes);
};
