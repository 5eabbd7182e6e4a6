#include "ui/ProgressDialogController.h"

#include "ui/MainThread.h"
#include "ui_ProgressDialog.h"

#include "platform/Localization.h"

#include <QCloseEvent>
#include <QProgressBar>

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
    connect(mUi->mCancelButton, &QPushButton::clicked, this, &ProgressDialogController::pushCancel);
    setAnimating(false);
}

ProgressDialogController::~ProgressDialogController() = default;

void ProgressDialogController::startProgressDialog(EndHandler endHandler) {
    mainthread::runAndWait(this, [this, &endHandler] {
        mEndHandler = std::move(endHandler);
        mIsCancel = false;
        setAnimating(true);
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
            message =
                Localization::formatWithArgument(mTexts.localizedString("SheetDialog.Message.Uninstall"),
                                                 applicationName.value_or(std::string()));
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
        mUi->mMessageField->setText(QString::fromStdString(message));
        mUi->mCancelButton->setEnabled(cancelEnabled);
    });
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
