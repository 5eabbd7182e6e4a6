#include "ui/EngineUninstallDriver.h"

EngineUninstallDriver::EngineUninstallDriver(ProgressSink& progress, ProcessManager& processes,
                                             std::chrono::milliseconds minimumDuration)
    : uninstallManager(progress, processes) {
    uninstallManager.setMinimumDuration(minimumDuration);
}

void EngineUninstallDriver::setAllSoftwareRestPathListArray(
    const std::optional<std::vector<std::string>>& paths) {
    uninstallManager.setAllSoftwareRestPathListArray(paths);
}

int32_t EngineUninstallDriver::processUnInstall(std::vector<SoftwareInformationRecord>& records) {
    return uninstallManager.processUnInstall(&records);
}

void EngineUninstallDriver::setRequestedRows(const std::vector<std::string>& rows,
                                             const std::vector<std::string>& takenAlong) {
    uninstallManager.setRunOrigin({"uninstaller", UNINSTALLER_VERSION, "window", rows, takenAlong});
}

UninstallDriver::Leftovers EngineUninstallDriver::leftovers() const {
    const RunSummary& summary = uninstallManager.summary();
    return {summary.counts.failed, summary.counts.total()};
}
