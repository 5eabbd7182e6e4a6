#pragma once

#include "engine/ProgressSink.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class Localization;
class QCloseEvent;
class QKeyEvent;

namespace Ui {
class ProgressDialog;
}

/// The progress sheet: a window-modal panel over the main window (a sheet on macOS) with a message
/// line, a busy indicator and Cancel. One instance serves the search, the uninstall and the driver. It
/// hangs at the top of the window and keeps its place and width from step to step.
///
/// The user cannot close it; it ends only through endProgressDialog (code 0) or cancelProcess (code 1),
/// which call the end handler given to startProgressDialog. Every method may be called from any thread:
/// a worker's call is carried to the main thread and returns once it has been done there, the end handler
/// included.
class ProgressDialogController : public QDialog, public ProgressSink {
    Q_OBJECT

public:
    /// Called on the main thread with the return code when the sheet ends.
    using EndHandler = std::function<void(int returnCode)>;

    /// A sheet over `window` (which owns it), its texts from `texts` (which must outlive it).
    ProgressDialogController(const Localization& texts, QWidget* window);
    ~ProgressDialogController() override;

    /// Puts the sheet up with its indicator running and clears the cancel request.
    void startProgressDialog(EndHandler endHandler);
    /// Stops the indicator, takes the sheet down, runs the end handler with 0 and clears the cancel
    /// request. Does nothing when the sheet is not up.
    void endProgressDialog();

    void setProgressMinValue(double value) override;
    void setProgressMaxValue(double value) override;
    void setProgressState(ProgressState state, const std::optional<std::string>& applicationName) override;
    /// "SheetDialog.Message.UninstallStep": the software's name and its place in the run; Cancel enabled.
    void setProgressSoftware(const std::string& name, size_t number, size_t count) override;
    bool getIsCancel() const override { return mIsCancel.load(); }
    /// Stops the indicator, takes the sheet down and runs the end handler with 1; the cancel request
    /// stays. Does nothing when the sheet is not up.
    void cancelProcess() override;

    /// The Cancel button: shows the cancel message, disables the button and raises the cancel request,
    /// which the uninstall driver reads after the software in hand.
    void pushCancel();

    // What the sheet shows, for the window's tests.
    bool isUp() const { return mEndHandler != nullptr; }
    QString message() const;
    bool isCancelEnabled() const;
    bool isAnimating() const { return mAnimating; }
    double minimumValue() const { return mMinimum; }
    double maximumValue() const { return mMaximum; }

protected:
    /// The user cannot close the sheet: Escape and the window's close button do nothing.
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;

private:
    void setAnimating(bool animating);
    void showMessage(const std::string& message, bool cancelEnabled);
    /// Puts the sheet at the top of its window, centred; it keeps that place while it is up.
    void hangFromWindow();
    void endSheet(int returnCode);

    std::unique_ptr<Ui::ProgressDialog> mUi;
    const Localization& mTexts;
    EndHandler mEndHandler;
    std::atomic<bool> mIsCancel{false};
    double mMinimum = 0.0;
    double mMaximum = 100.0;
    bool mAnimating = false;
};
