#include "tests/ui/AlertAnswerer.h"

#include "ui/ProgressDialogController.h"

#include "engine/AlertMessage.h"
#include "platform/Localization.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

AlertAnswerer::AlertAnswerer(const Localization& texts, std::deque<int> answers)
    : mTexts(texts), mAnswers(std::move(answers)) {
    connect(&mTimer, &QTimer::timeout, this, &AlertAnswerer::answer);
    mTimer.start(10);
}

void AlertAnswerer::answer() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
        return;
    }
    int32_t code = -1;
    for (const int32_t known : {1000, 1001, 1002, 1003, 1004, 3000, 5000}) {
        if (box->text().toStdString() == AlertMessage::forCode(known, mTexts)->title) {
            code = known;
        }
    }
    Shown shown{box->text(), box->informativeText(), {}, box->icon(), false};
    for (QWidget* window : QApplication::topLevelWidgets()) {
        shown.overSheet =
            shown.overSheet || (qobject_cast<ProgressDialogController*>(window) && window->isVisible());
    }
    const int wanted = mAnswers.empty() ? 1 : mAnswers.front();
    if (!mAnswers.empty()) {
        mAnswers.pop_front();
    }
    QAbstractButton* press = nullptr;
    for (QAbstractButton* button : box->buttons()) {
        shown.buttons << button->text();
        if (button->property("alertResult").toInt() == wanted) {
            press = button;
        }
    }
    mCodes.push_back(code);
    mShown.push_back(shown);
    if (press != nullptr) {
        press->click();
    } else {
        box->done(0);
    }
}
