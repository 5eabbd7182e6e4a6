#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct SoftwareInformationRecord;

/// The uninstall driver as the window uses it. The application hands the window the engine's driver;
/// tests hand it fakes.
class UninstallDriver {
public:
    virtual ~UninstallDriver() = default;

    /// Keeps the paths that no uninstall may delete (called by the search thread once the catalogue is
    /// built); nullopt changes nothing.
    virtual void setAllSoftwareRestPathListArray(const std::optional<std::vector<std::string>>& paths) = 0;

    /// Uninstalls the ticked records on the uninstall thread, driving the progress sheet. 0 done, 3000 an
    /// application would not quit, 5000 failed, 1003 ended after a cancel (the sheet has been ended and
    /// the cancel alert shown).
    virtual int32_t processUnInstall(std::vector<SoftwareInformationRecord>& records) = 0;

    /// The rows the user ticked and those the Software Update drivers took along, for the audit log.
    virtual void setRequestedRows(const std::vector<std::string>& /*rows*/,
                                  const std::vector<std::string>& /*takenAlong*/) {}

    /// What the last run could not remove, out of everything it meant to remove or change.
    struct Leftovers {
        size_t failed = 0;
        size_t total = 0;
    };
    virtual Leftovers leftovers() const { return {}; }
};
