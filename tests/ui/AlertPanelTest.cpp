// The numbered alerts: texts, buttons in order, icons and the result of each button, answered by
// pressing the buttons of the real message boxes.

#include "ui/AlertPanelManager.h"

#include "tests/ui/AlertAnswerer.h"

#include "engine/AlertMessage.h"
#include "platform/Localization.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

// Every message has a placeholder, so the test sees which ones are formatted.
Localization alertTexts() {
    std::map<std::string, std::string> table;
    for (const std::string code : {"1000", "1001", "1002", "1003"}) {
        table["Alert.Info.Title." + code] = "Title " + code;
        table["Alert.Info.Message." + code] = "Message " + code + " from %@";
    }
    table["Alert.Warning.Title.3000"] = "Title 3000";
    table["Alert.Warning.Message.3000"] = "Message 3000 from %@";
    table["Alert.Error.Title.5000"] = "Title 5000";
    table["Alert.Error.Message.5000"] = "Message 5000 from %@";
    table["Alert.Button.Quit.Caption"] = "Quit";
    table["Alert.Button.Continue.Caption"] = "Continue";
    table["Alert.Button.Cancel.Caption"] = "Cancel";
    table["Alert.Button.OK.Caption"] = "OK";
    return Localization("en", table);
}

} // namespace

class AlertPanelTest : public QObject {
    Q_OBJECT

private slots:
    void everyCodeShowsItsAlertAndAnswersItsButton_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("press");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<int>("icon");
        const int information = QMessageBox::Information;
        QTest::newRow("1000") << 1000 << 1 << "Message 1000 from Uninstaller" << QStringList{"Quit"}
                              << information;
        QTest::newRow("1001 Continue")
            << 1001 << 1 << "Message 1001 from %@" << QStringList{"Continue", "Cancel"} << information;
        QTest::newRow("1001 Cancel") << 1001 << 0 << "Message 1001 from %@"
                                     << QStringList{"Continue", "Cancel"} << information;
        QTest::newRow("3000") << 3000 << 1 << "Message 3000 from %@" << QStringList{"OK"}
                              << int(QMessageBox::Critical);
        QTest::newRow("5000") << 5000 << 1 << "Message 5000 from %@" << QStringList{"OK"}
                              << int(QMessageBox::NoIcon);
    }
    void everyCodeShowsItsAlertAndAnswersItsButton() {
        QFETCH(int, code);
        QFETCH(int, press);
        QFETCH(QString, message);
        QFETCH(QStringList, buttons);
        QFETCH(int, icon);
        const Localization texts = alertTexts();
        AlertAnswerer answerer(texts, {press});
        QCOMPARE(AlertPanelManager::showAlertPanel(code, texts, nullptr), press);
        QCOMPARE(answerer.codes(), std::vector<int32_t>{code});
        const AlertAnswerer::Shown& shown = answerer.shown().front();
        QCOMPARE(shown.title, QString("Title %1").arg(code));
        QCOMPARE(shown.message, message);
        QCOMPARE(QSet<QString>(shown.buttons.begin(), shown.buttons.end()),
                 QSet<QString>(buttons.begin(), buttons.end()));
        QCOMPARE(shown.icon, icon);
    }

    void theFirstButtonIsTheDefaultAndTheBoxIsApplicationModal() {
        const Localization texts = alertTexts();
        const std::unique_ptr<QMessageBox> box =
            AlertPanelManager::makeMessageBox(*AlertMessage::forCode(1001, texts), nullptr);
        QCOMPARE(box->defaultButton()->text(), QString("Continue"));
        QCOMPARE(box->escapeButton()->text(), QString("Cancel"));
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    }

    void anUnknownCodeShowsNothingAndAnswersZero() {
        const Localization texts = alertTexts();
        AlertAnswerer answerer(texts);
        QCOMPARE(AlertPanelManager::showAlertPanel(4000, texts, nullptr), 0);
        // A box that waited for its answer would have been answered by now; one opened without waiting
        // would be a window by now.
        QVERIFY(answerer.codes().empty());
        for (QWidget* window : QApplication::topLevelWidgets()) {
            QVERIFY2(qobject_cast<QMessageBox*>(window) == nullptr, qPrintable(window->objectName()));
        }
    }
};

QTEST_MAIN(AlertPanelTest)
#include "AlertPanelTest.moc"
