#include "ui/ProgressDialogController.h"

#include "ui/MainThread.h"
#include "ui_ProgressDialog.h"

#include "platform/Localization.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QProgressBar>

#include <algorithm>
#include <string>

namespace {

// The indicator shows no amount, only that work goes on; its range is kept for the callers.
int toBarValue(double value) {
    return static_cast<int>(value);
}

} // namespace

ProgressDialogController::ProgressDialogController(const Localization& texts, QWidget* window)
    : QDialog(window, Qt::Sheet | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      mUi(std::make_unique<Ui::ProgressDialog>()), mTexts(texts) {
    mUi->setupUi(this);
    setWindowModality(Qt::WindowModal);
    mUi->mCancelButton->setText(
        QString::fromStdString(mTexts.localizedString("ProgressDialog.Button.Title.Cancel")));
    setAccessibleName(QString::fromStdString(mTexts.localizedString("ProgressDialog.Accessibility.Sheet")));
    mUi->mMessageField->setAccessibleName(
        QString::fromStdString(mTexts.localizedString("ProgressDialog.Accessibility.Message")));
    mUi->mProgressIndicator->setAccessibleName(
        QString::fromStdString(mTexts.localizedString("ProgressDialog.Accessibility.Indicator")));
    // Room for two lines of message from the start, so that most steps never change the sheet's size.
    mUi->mMessageField->setMinimumHeight(2 * mUi->mMessageField->fontMetrics().lineSpacing());
    const int width = std::max(minimumWidth(), sizeHint().width());
    // An empty message has no height for a width yet; its size hint holds the two lines.
    const int height = heightForWidth(width);
    setFixedSize(width, height > 0 ? height : sizeHint().height());
    connect(mUi->mCancelButton, &QPushButton::clicked, this, &ProgressDialogController::pushCancel);
    setAnimating(false);
}

ProgressDialogController::~ProgressDialogController() = default;

void ProgressDialogController::startProgressDialog(EndHandler endHandler) {
    mainthread::runAndWait(this, [this, &endHandler] {
        mEndHandler = std::move(endHandler);
        mIsCancel = false;
        setAnimating(true);
        hangFromWindow();
        open();
        raise();
        activateWindow();
    });
}

void ProgressDialogController::endProgressDialog() {
    mainthread::runAndWait(this, [this] {
        endSheet(0);
        mIsCancel = false;
    });
}

void ProgressDialogController::cancelProcess() {
    mainthread::runAndWait(this, [this] { endSheet(1); });
}

void ProgressDialogController::endSheet(int returnCode) {
    if (!mEndHandler) {
        return;
    }
    setAnimating(false);
    hide();
    // Taken out first: the handler may put the sheet up again.
    EndHandler handler = std::move(mEndHandler);
    mEndHandler = nullptr;
    handler(returnCode);
}

void ProgressDialogController::setProgressMinValue(double value) {
    mainthread::runAndWait(this, [this, value] {
        mMinimum = value;
        setAnimating(mAnimating);
    });
}

void ProgressDialogController::setProgressMaxValue(double value) {
    mainthread::runAndWait(this, [this, value] {
        mMaximum = value;
        setAnimating(mAnimating);
    });
}

void ProgressDialogController::setProgressState(ProgressState state,
                                                const std::optional<std::string>& applicationName) {
    mainthread::runAndWait(this, [this, state, &applicationName] {
        std::string message;
        bool cancelEnabled = false;
        switch (state) {
        case ProgressState::Search:
            message = mTexts.localizedString("SheetDialog.Message.Search");
            break;
        case ProgressState::Store:
            message = mTexts.localizedString("SheetDialog.Message.Store");
            break;
        case ProgressState::StopApplication:
            message = mTexts.localizedString("SheetDialog.Message.StopApplication");
            break;
        case ProgressState::Uninstall:
            message = mTexts.format("SheetDialog.Message.Uninstall", applicationName.value_or(std::string()));
            cancelEnabled = true;
            break;
        case ProgressState::UninstallCancel:
            message = mTexts.localizedString("SheetDialog.Message.UninstallCancel");
            break;
        case ProgressState::Clear:
            cancelEnabled = mUi->mCancelButton->isEnabled();
            break;
        case ProgressState::Other:
            break;
        }
        showMessage(message, cancelEnabled);
    });
}

void ProgressDialogController::setProgressSoftware(const std::string& name, size_t number, size_t count) {
    mainthread::runAndWait(this, [this, &name, number, count] {
        showMessage(mTexts.format("SheetDialog.Message.UninstallStep",
                                  {name, std::to_string(number), std::to_string(count)}),
                    /*cancelEnabled=*/true);
    });
}

void ProgressDialogController::showMessage(const std::string& message, bool cancelEnabled) {
    mUi->mMessageField->setText(QString::fromStdString(message));
    mUi->mCancelButton->setEnabled(cancelEnabled);
    // A message longer than the room it had makes the sheet taller, never wider, and it stays where it
    // hangs: the user's eye keeps its place from step to step.
    const int needed = heightForWidth(width());
    if (needed > height()) {
        setFixedHeight(needed);
    }
    hangFromWindow();
}

void ProgressDialogController::hangFromWindow() {
    const QWidget* window = parentWidget();
    if (window == nullptr) {
        return;
    }
    // Centred on the window, just below its menu bar, as a sheet hangs from its window's title.
    const QRect frame = window->geometry();
    int top = frame.top();
    if (const auto* main = qobject_cast<const QMainWindow*>(window);
        main != nullptr && main->centralWidget()) {
        top = main->centralWidget()->mapToGlobal(QPoint(0, 0)).y();
    }
    move(frame.left() + (frame.width() - width()) / 2, top);
}

void ProgressDialogController::pushCancel() {
    mainthread::runAndWait(this, [this] {
        setProgressState(ProgressState::Clear, std::nullopt);
        setProgressState(ProgressState::UninstallCancel, std::nullopt);
        mIsCancel = true;
    });
}

QString ProgressDialogController::message() const {
    return mUi->mMessageField->text();
}

bool ProgressDialogController::isCancelEnabled() const {
    return mUi->mCancelButton->isEnabled();
}

void ProgressDialogController::closeEvent(QCloseEvent* event) {
    event->ignore();
}

void ProgressDialogController::setAnimating(bool animating) {
    mAnimating = animating;
    if (animating) {
        // An empty range makes the bar a busy indicator that moves by itself.
        mUi->mProgressIndicator->setRange(0, 0);
        return;
    }
    mUi->mProgressIndicator->setRange(toBarValue(mMinimum), toBarValue(mMaximum));
    mUi->mProgressIndicator->setValue(toBarValue(mMinimum));
}
