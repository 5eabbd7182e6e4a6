#pragma once

#include "platform/PlistValue.h"
#include "tests/support/TestSystem.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <map>
#include <set>
#include <string>
#include <vector>

/// What uninstalling some software of a system must change, worked out from the fixtures' own
/// descriptions and the tree as it is before the run, not from the program's lists.
///
/// Each software, in the order given (the uninstall's), loses the files and links its packages
/// installed and its remove paths name (less what its rest paths, the shared ones and the pool of all
/// software keep; plus the maker's PPD files for the drivers), then every folder of its packages and
/// remove paths that is neither protected nor holds anything but hidden files by then; then its launch
/// agents (by label, at any depth), its uninstall information file and its receipts. Dock tiles and
/// login items go by label and path.
class ExpectedRemoval {
public:
    ExpectedRemoval(const TestSystem& system, std::vector<const SampleSoftware*> software);

    /// The system paths that are gone afterwards.
    const std::set<std::string>& deleted() const { return mDeleted; }

    /// The preferences files that change, with the dictionary each holds afterwards.
    const std::map<std::string, PlistValue>& edited() const { return mEdited; }

private:
    void removeSoftware(const SampleSoftware& software);
    void editPreferences(const std::vector<const SampleSoftware*>& software);

    const TestSystem& mSystem;
    std::map<std::string, char> mPresent; // system path → 'f' file, 'l' link, 'd' folder, 'o' other
    std::set<std::string> mDeleted;
    std::map<std::string, PlistValue> mEdited;
    std::vector<std::string> mUsers;
    std::vector<std::string> mIndividual;
    std::vector<std::string> mLower;
    std::vector<std::string> mPoolRest;
};
