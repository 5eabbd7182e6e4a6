#pragma once

#include "tests/support/TestSystem.h"

#include <string>
#include <vector>

/// Files planted where a careless run would reach them (beside the uninstall information files, in the
/// maker's shared folders, in the receipts folder, in a user's documents), each with content of its
/// own. Nothing the program does to list software may touch them.
class Canaries {
public:
    /// Plants the files in the system.
    explicit Canaries(const TestSystem& system);

    /// Adds a failure for every canary that is gone or changed.
    void expectIntact() const;

private:
    const TestSystem& mSystem;
    std::vector<std::string> mPaths;
};
