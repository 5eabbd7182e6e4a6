#pragma once

#include "engine/ProgressSink.h"

#include <iosfwd>

class Localization;

/// The progress sheet of uninstaller-cli: the messages of the progress states as lines, and a cancel
/// request from Ctrl-C or SIGTERM (see InterruptSignal).
class TerminalProgress : public ProgressSink {
public:
    /// `out` and `texts` must outlive it.
    TerminalProgress(std::ostream& out, const Localization& texts) : mOut(out), mTexts(texts) {}

    void setProgressMinValue(double) override {}
    void setProgressMaxValue(double) override {}
    /// Prints the message of states 3, 4 (with the software's name) and 5; the others show nothing.
    void setProgressState(ProgressState state, const std::optional<std::string>& applicationName) override;
    bool getIsCancel() const override;
    void cancelProcess() override {}

private:
    std::ostream& mOut;
    const Localization& mTexts;
};
