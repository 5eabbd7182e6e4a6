#pragma once

#include "tests/support/TestSystem.h"

#include <string>
#include <vector>

/// A file of content of its own in every place no uninstall may touch: the kernel and the system's
/// programs, libraries, configuration and data, its keychains and the uninstall log, another volume,
/// a user's documents, desktop, .ssh, keychains and mail, another software's uninstall information file
/// and receipts; and one in a host folder outside the system root, which links may point at.
class ProtectedCanaries {
public:
    /// Plants the files (the system's /etc a link to private/etc, as on a Mac).
    explicit ProtectedCanaries(const TestSystem& system);
    ~ProtectedCanaries();
    ProtectedCanaries(const ProtectedCanaries&) = delete;
    ProtectedCanaries& operator=(const ProtectedCanaries&) = delete;

    /// One line per canary that is gone or changed; empty when every one is as it was planted.
    std::string differences() const;

    /// The places the canaries stand for, as system paths: folders (and single files) inside which no
    /// removal list may hold anything.
    const std::vector<std::string>& places() const { return mPlaces; }

    /// The host folder outside the system root.
    const std::string& hostFolder() const { return mHostFolder; }

private:
    const TestSystem& mSystem;
    std::vector<std::string> mFiles; // system paths
    std::vector<std::string> mPlaces;
    std::string mHostFolder;
};
