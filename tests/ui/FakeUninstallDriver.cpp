#include "tests/ui/FakeUninstallDriver.h"

#include "catalogue/SoftwareInformationRecord.h"
#include "engine/ProgressSink.h"

#include <algorithm>

void FakeUninstallDriver::setAllSoftwareRestPathListArray(
    const std::optional<std::vector<std::string>>& paths) {
    if (paths) {
        mRestPaths = paths;
    }
}

int32_t FakeUninstallDriver::processUnInstall(std::vector<SoftwareInformationRecord>& records) {
    ++mRuns;
    mProgress.setProgressMinValue(0.0);
    mProgress.setProgressMaxValue(100.0);
    const auto ticked = static_cast<size_t>(std::count_if(
        records.begin(), records.end(), [](const auto& record) { return record.isMarkedForUninstall(); }));
    for (const SoftwareInformationRecord& record : records) {
        if (!record.isMarkedForUninstall()) {
            continue;
        }
        mProgress.setProgressState(ProgressState::Clear, std::nullopt);
        mProgress.setProgressSoftware(record.applicationName, static_cast<size_t>(mStarted.load()) + 1,
                                      ticked);
        mProcessed.push_back(record.applicationName);
        const int number = ++mStarted;
        if (mGated) {
            std::unique_lock lock(mMutex);
            mOpened.wait(lock, [&] { return mOpenings >= number; });
        }
        if (mProgress.getIsCancel()) {
            mProgress.cancelProcess();
            return 1003;
        }
    }
    return mResult;
}

void FakeUninstallDriver::openGate() {
    {
        std::lock_guard lock(mMutex);
        ++mOpenings;
    }
    mOpened.notify_all();
}
