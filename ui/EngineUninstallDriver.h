#pragma once

#include "engine/UnInstallSoftwareManager.h"
#include "ui/UninstallDriver.h"

#include <chrono>

class ProcessManager;
class ProgressSink;

/// The window's uninstall driver: the engine's UnInstallSoftwareManager, driving the window's sheet.
class EngineUninstallDriver final : public UninstallDriver {
public:
    /// `progress` and `processes` must outlive the driver; every ticked software takes at least
    /// `minimumDuration`.
    EngineUninstallDriver(ProgressSink& progress, ProcessManager& processes,
                          std::chrono::milliseconds minimumDuration);

    void setAllSoftwareRestPathListArray(const std::optional<std::vector<std::string>>& paths) override;
    int32_t processUnInstall(std::vector<SoftwareInformationRecord>& records) override;
    void setRequestedRows(const std::vector<std::string>& rows,
                          const std::vector<std::string>& takenAlong) override;
    Leftovers leftovers() const override;

private:
    UnInstallSoftwareManager uninstallManager;
};
