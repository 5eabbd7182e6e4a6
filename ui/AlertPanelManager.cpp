#include "ui/AlertPanelManager.h"

#include "engine/AlertMessage.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

namespace {

constexpr const char* kResultProperty = "alertResult";

QMessageBox::Icon iconOf(AlertMessage::Kind kind) {
    switch (kind) {
    case AlertMessage::Kind::Informational:
        return QMessageBox::Information;
    case AlertMessage::Kind::Critical:
        return QMessageBox::Critical;
    case AlertMessage::Kind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

std::unique_ptr<QMessageBox> AlertPanelManager::makeMessageBox(const AlertMessage& alert, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setIcon(iconOf(alert.kind));
    box->setWindowTitle(QString::fromStdString(alert.title));
    // The title is the alert's headline, the message its explanation, as the platform's alerts show them.
    box->setText(QString::fromStdString(alert.title));
    QString informative;
    for (const std::string& item : alert.items) {
        informative += QString::fromStdString(item) + QLatin1Char('\n');
    }
    if (!informative.isEmpty()) {
        informative += QLatin1Char('\n');
    }
    box->setInformativeText(informative + QString::fromStdString(alert.message));
    box->setTextFormat(Qt::PlainText);
    if (auto* headline = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont bold = headline->font();
        bold.setBold(true);
        headline->setFont(bold);
    }
    for (const AlertMessage::Button& button : alert.buttons) {
        const QMessageBox::ButtonRole role =
            button.result == 0 ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        QPushButton* pushButton = box->addButton(QString::fromStdString(button.caption), role);
        pushButton->setProperty(kResultProperty, button.result);
        if (button.result == 1) {
            box->setDefaultButton(pushButton);
        }
        if (button.result == 0 || alert.buttons.size() == 1) {
            box->setEscapeButton(pushButton);
        }
    }
    return box;
}

int AlertPanelManager::buttonResult(const QMessageBox& box) {
    const QAbstractButton* clicked = box.clickedButton();
    return clicked != nullptr ? clicked->property(kResultProperty).toInt() : 0;
}

int AlertPanelManager::showAlertPanel(int32_t code, const Localization& texts, QWidget* parent,
                                      const std::string& more) {
    std::optional<AlertMessage> alert = AlertMessage::forCode(code, texts);
    if (!alert) {
        return 0;
    }
    if (!more.empty()) {
        alert->message += "\n\n" + more;
    }
    return showAlertPanel(*alert, parent);
}

int AlertPanelManager::showAlertPanel(const AlertMessage& alert, QWidget* parent) {
    std::unique_ptr<QMessageBox> box = makeMessageBox(alert, parent);
    box->exec();
    return buttonResult(*box);
}
