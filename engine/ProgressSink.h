#pragma once

#include "engine/ProgressState.h"

#include <cstddef>
#include <optional>
#include <string>

/// The progress sheet as the uninstall driver sees it. The window implements it with its sheet, the
/// command line with lines on a terminal; tests record the calls.
///
/// The driver calls it from its worker thread; an implementation carries the calls to wherever its user
/// interface lives and returns once they are done.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;

    /// Sets the indicator's minimum and its current value.
    virtual void setProgressMinValue(double value) = 0;
    /// Sets the indicator's maximum.
    virtual void setProgressMaxValue(double value) = 0;
    /// Shows the message of a state; the name is used by ProgressState::Uninstall only.
    virtual void setProgressState(ProgressState state, const std::optional<std::string>& applicationName) = 0;
    /// ProgressState::Uninstall for one software of a run, with its place among the software being
    /// removed ("Scan Utility", 2 of 3).
    virtual void setProgressSoftware(const std::string& name, size_t number, size_t count) = 0;
    /// True once the user has asked to cancel (read between two software).
    virtual bool getIsCancel() const = 0;
    /// Ends the sheet with the cancel code; returns only after whatever ending the sheet sets off (the
    /// cancel message, and in the window the quitting) has been done.
    virtual void cancelProcess() = 0;
};
