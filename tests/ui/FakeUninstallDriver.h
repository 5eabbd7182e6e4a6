#pragma once

#include "ui/UninstallDriver.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

class ProgressSink;

/// An uninstall driver that removes nothing: for each ticked record it shows the uninstall message,
/// records the name and, when gated, waits until the test opens the gate; it honours a cancel request
/// after each record as the real driver does, and otherwise answers a fixed result.
class FakeUninstallDriver : public UninstallDriver {
public:
    FakeUninstallDriver(ProgressSink& progress, int32_t result, bool gated = false)
        : mProgress(progress), mResult(result), mGated(gated) {}

    void setAllSoftwareRestPathListArray(const std::optional<std::vector<std::string>>& paths) override;
    int32_t processUnInstall(std::vector<SoftwareInformationRecord>& records) override;
    /// A failed run left 2 of 214 items.
    Leftovers leftovers() const override { return mResult == 5000 ? Leftovers{2, 214} : Leftovers{}; }

    /// Lets the record in hand finish.
    void openGate();
    /// How many records have been started.
    int started() const { return mStarted.load(); }
    /// The names of the records started, once the run has ended.
    const std::vector<std::string>& processed() const { return mProcessed; }
    int runs() const { return mRuns.load(); }
    const std::optional<std::vector<std::string>>& restPaths() const { return mRestPaths; }

private:
    ProgressSink& mProgress;
    int32_t mResult;
    bool mGated;
    std::mutex mMutex;
    std::condition_variable mOpened;
    int mOpenings = 0;
    std::atomic<int> mStarted{0};
    std::atomic<int> mRuns{0};
    std::vector<std::string> mProcessed;
    std::optional<std::vector<std::string>> mRestPaths;
};
