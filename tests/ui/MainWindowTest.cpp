// The window on generated systems: start-up and the table, the Uninstall button, the uninstall flow with
// its alerts and quitting, Cancel in the confirmation and on the sheet, nothing found, the saved frame.

#include "ui/EngineUninstallDriver.h"
#include "ui/MainWindowController.h"
#include "ui/ProgressDialogController.h"

#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"
#include "tests/ui/AlertAnswerer.h"
#include "tests/ui/FakeUninstallDriver.h"
#include "tools/make-sample-system/SampleSystem.h"

#include "platform/Bundle.h"
#include "platform/HostProcessManager.h"
#include "platform/Localization.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A bound on waiting for the search of the sample system, generous for sanitizer builds; not a measure.
constexpr int kSearchTimeout = 60000;

Localization english() {
    return Localization::load(*Bundle::mainBundle(), {"en"});
}

QString text(const Localization& texts, const char* key) {
    return QString::fromStdString(texts.localizedString(key));
}

bool isMarked(MainWindowController& window, const std::string& name) {
    for (const SoftwareInformationRecord& record : window.store().getMSoftwareInformationArray()) {
        if (record.applicationName == name) {
            return record.isMarkedForUninstall();
        }
    }
    return false;
}

int rowNamed(MainWindowController& window, const QString& name) {
    SoftwareTableModel& model = window.tableModel();
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, SoftwareTableModel::NameColumn).data().toString() == name) {
            return row;
        }
    }
    return -1;
}

// A started window on the sample system with a fake driver; its settings in a file of the test's own,
// or in `settingsFile` to be shared by two starts.
struct StartedWindow {
    explicit StartedWindow(int32_t result = 0, bool gated = false, const QString& settingsFile = {})
        : settings(settingsFile.isEmpty() ? folder.filePath("settings.ini") : settingsFile,
                   QSettings::IniFormat),
          window(texts, settings, TextDirection::LeftToRight),
          driver(window.progressDialogController(), result, gated),
          quits(&window, &MainWindowController::quitRequested) {
        SampleSystem::write(system);
        window.setUninstallDriver(&driver);
        window.start();
    }
    ~StartedWindow() { window.waitForWorkers(); }

    bool searched() { return window.tableModel().isLoaded(); }

    TestSystem system;
    Localization texts = english();
    QTemporaryDir folder;
    QSettings settings;
    MainWindowController window;
    FakeUninstallDriver driver;
    QSignalSpy quits;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startUpShowsTheSearchSheetThenTheTable() {
        StartedWindow started;
        MainWindowController& window = started.window;
        QVERIFY(window.progressDialogController().isVisible() || started.searched());
        QVERIFY(!window.closeButton()->isEnabled() || started.searched());
        QTRY_VERIFY_WITH_TIMEOUT(started.searched(), kSearchTimeout);
        QVERIFY(!window.progressDialogController().isVisible());
        QCOMPARE(window.tableModel().rowCount(), 4);
        QCOMPARE(window.messageField()->text(), text(started.texts, "Main.Message.Uninstall"));
        QVERIFY(window.closeButton()->isEnabled());
        QVERIFY(!window.unInstallButton()->isEnabled());
        QVERIFY(started.driver.restPaths().has_value());
        QCOMPARE(started.quits.count(), 0);
    }

    void theUninstallButtonFollowsTheTicksAndSpaceTicks() {
        StartedWindow started;
        QTRY_VERIFY_WITH_TIMEOUT(started.searched(), kSearchTimeout);
        MainWindowController& window = started.window;
        const int scan = rowNamed(window, "Scan Utility");
        window.softwareTable()->setFocus();
        window.softwareTable()->selectRow(scan);
        QTest::keyClick(window.softwareTable(), Qt::Key_Space);
        QVERIFY(window.unInstallButton()->isEnabled());
        QVERIFY(isMarked(window, "Scan Utility"));
        QTest::keyClick(window.softwareTable(), Qt::Key_Space);
        QVERIFY(!window.unInstallButton()->isEnabled());
        QVERIFY(!isMarked(window, "Scan Utility"));
    }

    void selectingARowShowsItsExplanation() {
        StartedWindow started;
        QTRY_VERIFY_WITH_TIMEOUT(started.searched(), kSearchTimeout);
        MainWindowController& window = started.window;
        window.softwareTable()->selectRow(rowNamed(window, "Scan Utility"));
        QCOMPARE(window.informationField()->text(),
                 QString("Scans documents and photos with a TORVA scanner."));
        window.softwareTable()->clearSelection();
        QCOMPARE(window.informationField()->text(), QString());
    }

    // The confirmation names every software that goes, the ones taken along marked; its Cancel
    // changes nothing.
    void theConfirmationNamesWhatGoesAndItsCancelChangesNothing() {
        StartedWindow started;
        QTRY_VERIFY_WITH_TIMEOUT(started.searched(), kSearchTimeout);
        MainWindowController& window = started.window;
        window.tableModel().setTicked(rowNamed(window, "Scan Utility"), true);
        window.tableModel().setTicked(rowNamed(window, "Printer Driver"), true);
        AlertAnswerer answerer(started.texts, {0});
        QTest::mouseClick(window.unInstallButton(), Qt::LeftButton);
        QCOMPARE(answerer.codes(), std::vector<int32_t>{1001});
        QCOMPARE(answerer.shown().front().message,
                 "Printer Driver\nPC-FAX Driver (forced)\nScan Utility\n\n" +
                     text(started.texts, "Alert.Info.Message.1001"));
        QVERIFY(window.unInstallButton()->isEnabled());
        QVERIFY(window.closeButton()->isEnabled());
        QVERIFY(window.quitMenuItem()->isEnabled());
        QVERIFY(!window.progressDialogController().isVisible());
        QVERIFY(isMarked(window, "Scan Utility"));
        QCOMPARE(started.driver.runs(), 0);
        QCOMPARE(started.quits.count(), 0);
    }

    void theResultAlertComesAfterTheSheetThenTheApplicationQuits_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("alert");
        QTest::newRow("done") << 0 << 1002;
        QTest::newRow("an application would not quit") << 3000 << 3000;
        QTest::newRow("failed") << 5000 << 5000;
        QTest::newRow("an unknown code is a failure") << 42 << 5000;
    }
    void theResultAlertComesAfterTheSheetThenTheApplicationQuits() {
        QFETCH(int, result);
        QFETCH(int, alert);
        StartedWindow started(result, /*gated=*/true);
        QTRY_VERIFY_WITH_TIMEOUT(started.searched(), kSearchTimeout);
        MainWindowController& window = started.window;
        window.tableModel().setTicked(rowNamed(window, "Scan Utility"), true);
        AlertAnswerer answerer(started.texts);
        QTest::mouseClick(window.unInstallButton(), Qt::LeftButton);

        // While the driver works, the window is locked under the sheet.
        QTRY_COMPARE(started.driver.started(), 1);
        ProgressDialogController& sheet = window.progressDialogController();
        QTRY_COMPARE(sheet.message(), QString("Uninstalling Scan Utility (1 of 1)…"));
        QVERIFY(sheet.isVisible());
        QVERIFY(sheet.isCancelEnabled());
        QVERIFY(!window.unInstallButton()->isEnabled());
        QVERIFY(!window.closeButton()->isEnabled());
        QVERIFY(!window.quitMenuItem()->isEnabled());
        QVERIFY(!window.close());
        started.driver.openGate();

        QTRY_COMPARE(started.quits.count(), 1);
        QCOMPARE(answerer.codes(), (std::vector<int32_t>{1001, alert}));
        // A failure tells how much stayed.
        QCOMPARE(answerer.shown().back().message.contains("2 / 214"), result == 5000);
        QVERIFY(!answerer.shown().back().overSheet);
        QVERIFY(!sheet.isVisible());
        started.window.waitForWorkers();
        QCOMPARE(started.driver.processed(), std::vector<std::string>{"Scan Utility"});
    }

    void cancelOnTheSheetEndsAfterTheSoftwareInHand() {
        StartedWindow started(0, /*gated=*/true);
        QTRY_VERIFY_WITH_TIMEOUT(started.searched(), kSearchTimeout);
        MainWindowController& window = started.window;
        window.tableModel().setTicked(rowNamed(window, "Printer Setup Utility"), true);
        window.tableModel().setTicked(rowNamed(window, "Scan Utility"), true);
        AlertAnswerer answerer(started.texts);
        QTest::mouseClick(window.unInstallButton(), Qt::LeftButton);
        QTRY_COMPARE(started.driver.started(), 1);
        ProgressDialogController& sheet = window.progressDialogController();
        QTRY_VERIFY(sheet.isCancelEnabled());
        QTest::mouseClick(sheet.findChild<QPushButton*>("mCancelButton"), Qt::LeftButton);
        QCOMPARE(sheet.message(), text(started.texts, "SheetDialog.Message.UninstallCancel"));
        started.driver.openGate();

        QTRY_COMPARE(started.quits.count(), 1);
        QCOMPARE(answerer.codes(), (std::vector<int32_t>{1001, 1003}));
        QVERIFY(!answerer.shown().back().overSheet);
        started.window.waitForWorkers();
        QCOMPARE(started.driver.processed(), std::vector<std::string>{"Printer Setup Utility"});
        QVERIFY(!sheet.isVisible());
    }

    // The sheet hangs at the top of the window and keeps its place from the search to the last
    // software, however long its message.
    void theSheetKeepsItsPlaceFromStepToStep() {
        StartedWindow started(0, /*gated=*/true);
        MainWindowController& window = started.window;
        ProgressDialogController& sheet = window.progressDialogController();
        const QPoint searching = sheet.pos();
        // Centred on the window, give or take the sheet's own border.
        QVERIFY(qAbs(sheet.geometry().center().x() - window.geometry().center().x()) <= 3);
        QVERIFY(sheet.geometry().top() >= window.geometry().top());
        QTRY_VERIFY_WITH_TIMEOUT(started.searched(), kSearchTimeout);
        window.tableModel().setTicked(rowNamed(window, "Printer Setup Utility"), true);
        window.tableModel().setTicked(rowNamed(window, "Scan Utility"), true);
        AlertAnswerer answerer(started.texts);
        QTest::mouseClick(window.unInstallButton(), Qt::LeftButton);
        QTRY_COMPARE(started.driver.started(), 1);
        QCOMPARE(sheet.message(), QString("Uninstalling Printer Setup Utility (1 of 2)…"));
        QCOMPARE(sheet.pos(), searching);
        std::string longName;
        for (int word = 0; word < 40; ++word) {
            longName += "Printer Setup ";
        }
        sheet.setProgressSoftware(longName, 1, 2);
        QCOMPARE(sheet.pos(), searching);
        started.driver.openGate();
        QTRY_COMPARE(started.driver.started(), 2);
        QCOMPARE(sheet.message(), QString("Uninstalling Scan Utility (2 of 2)…"));
        QCOMPARE(sheet.pos(), searching);
        started.driver.openGate();
        QTRY_COMPARE(started.quits.count(), 1);
    }

    // The whole flow with the engine's driver on the sample system: the ticked software is gone, and
    // nothing that any other software or the user keeps.
    void theRealDriverRemovesTheTickedSoftwareAndNothingElse() {
        TestSystem system;
        SampleSystem::write(system);
        const Localization texts = english();
        QTemporaryDir folder;
        QSettings settings(folder.filePath("settings.ini"), QSettings::IniFormat);
        MainWindowController window(texts, settings, TextDirection::LeftToRight);
        HostProcessManager processes;
        EngineUninstallDriver driver(window.progressDialogController(), processes,
                                     std::chrono::milliseconds(0));
        window.setUninstallDriver(&driver);
        QSignalSpy quits(&window, &MainWindowController::quitRequested);
        window.start();
        QTRY_VERIFY_WITH_TIMEOUT(window.tableModel().isLoaded(), kSearchTimeout);
        window.tableModel().setTicked(rowNamed(window, "Scan Utility"), true);
        AlertAnswerer answerer(texts);
        QTest::mouseClick(window.unInstallButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(quits.count(), 1, kSearchTimeout);
        window.waitForWorkers();
        QCOMPARE(answerer.codes(), (std::vector<int32_t>{1001, 1002}));
        QVERIFY(!system.exists("/Applications/TORVA Scan Utility.app"));
        QVERIFY(!system.exists("/Library/Preferences/com.torva.Scan Utility.UnInstallList.plist"));
        QVERIFY(system.exists("/Applications/TORVA Printer Setup Utility.app"));
        for (const std::string& kept : SampleSystem::keptFiles()) {
            QVERIFY2(system.exists(kept), kept.c_str());
        }
    }

    // Nothing to list tells the user why and quits: no TORVA software, or a folder that is no Mac system.
    void nothingToListTellsTheUserWhyAndQuits_data() {
        QTest::addColumn<bool>("macSystem");
        QTest::addColumn<int>("alert");
        QTest::newRow("nothing found") << true << 1000;
        QTest::newRow("no Mac system") << false << 1004;
    }
    void nothingToListTellsTheUserWhyAndQuits() {
        QFETCH(bool, macSystem);
        QFETCH(int, alert);
        TestSystem system;
        if (macSystem) {
            system.writeSystemVersion("10.15.7");
        }
        const Localization texts = english();
        QTemporaryDir folder;
        QSettings settings(folder.filePath("settings.ini"), QSettings::IniFormat);
        MainWindowController window(texts, settings, TextDirection::LeftToRight);
        QSignalSpy quits(&window, &MainWindowController::quitRequested);
        AlertAnswerer answerer(texts);
        window.start();
        QTRY_COMPARE_WITH_TIMEOUT(quits.count(), 1, kSearchTimeout);
        QCOMPARE(answerer.codes(), std::vector<int32_t>{alert});
        QVERIFY(!answerer.shown().front().overSheet);
        window.waitForWorkers();
        QCOMPARE(window.tableModel().rowCount(), 0);
        QVERIFY(!window.unInstallButton()->isEnabled());
    }

    void theFirstStartCentresTheWindowAndTheNextUsesTheSavedFrame() {
        QTemporaryDir folder;
        const QString settingsFile = folder.filePath("settings.ini");
        const QRect moved(40, 30, 720, 500);
        {
            StartedWindow first(0, /*gated=*/false, settingsFile);
            const QRect frame = first.window.geometry();
            const QRect screen = first.window.screen()->availableGeometry();
            QVERIFY(qAbs(frame.center().x() - screen.center().x()) <= 1);
            QVERIFY(qAbs(frame.center().y() - screen.center().y()) <= 1);
            QTRY_VERIFY_WITH_TIMEOUT(first.searched(), kSearchTimeout);
            first.window.setGeometry(moved);
            QCOMPARE(first.settings.value(MainWindowController::kFrameKey).toString(),
                     QString("40 30 720 500"));
        }
        StartedWindow second(0, /*gated=*/false, settingsFile);
        QCOMPARE(second.window.geometry(), moved);
        QTRY_VERIFY_WITH_TIMEOUT(second.searched(), kSearchTimeout);
    }

    void aFrameOffEveryScreenIsNotUsed() {
        QTemporaryDir folder;
        const QString settingsFile = folder.filePath("settings.ini");
        QSettings(settingsFile, QSettings::IniFormat)
            .setValue(MainWindowController::kFrameKey, "90000 90000 640 440");
        StartedWindow started(0, /*gated=*/false, settingsFile);
        QVERIFY(started.window.screen()->availableGeometry().contains(started.window.geometry().center()));
        QTRY_VERIFY_WITH_TIMEOUT(started.searched(), kSearchTimeout);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
