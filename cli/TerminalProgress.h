#pragma once

#include "engine/ProgressSink.h"

#include <iosfwd>

class Localization;

/// The progress sheet of uninstaller-cli: the messages of the progress states as lines, and a cancel
/// request from Ctrl-C or SIGTERM (see InterruptSignal).
class TerminalProgress : public ProgressSink {
public:
    /// Whether the progress lines are printed at all (--quiet prints only errors).
    enum class Lines { Print, Quiet };

    /// `out` and `texts` must outlive it.
    TerminalProgress(std::ostream& out, const Localization& texts, Lines lines = Lines::Print)
        : mOut(out), mTexts(texts), mLines(lines) {}

    void setProgressMinValue(double) override {}
    void setProgressMaxValue(double) override {}
    /// Prints the message of states 3, 4 (with the software's name) and 5; the others show nothing.
    void setProgressState(ProgressState state, const std::optional<std::string>& applicationName) override;
    /// "Uninstalling Scan Utility (2 of 3)…".
    void setProgressSoftware(const std::string& name, size_t number, size_t count) override;
    bool getIsCancel() const override;
    void cancelProcess() override {}

private:
    void print(const std::string& line);

    std::ostream& mOut;
    const Localization& mTexts;
    Lines mLines;
};
