// The progress sheet: the message and Cancel of every state, the cancel request, ending with the end
// handler run on the main thread before the ending call returns, and a sheet the user cannot close.

#include "ui/ProgressDialogController.h"

#include "platform/Localization.h"

#include <QMainWindow>
#include <QPushButton>
#include <QtTest>

#include <thread>

namespace {

Localization sheetTexts(const std::string& uninstallMessage = "Uninstalling %@…") {
    return Localization("en", {{"SheetDialog.Message.Search", "Searching…"},
                               {"SheetDialog.Message.Store", "Reading…"},
                               {"SheetDialog.Message.StopApplication", "Quitting applications…"},
                               {"SheetDialog.Message.Uninstall", uninstallMessage},
                               {"SheetDialog.Message.UninstallCancel", "Cancelling…"},
                               {"SheetDialog.Message.UninstallStep", "Uninstalling %1$@ (%2$@ of %3$@)…"},
                               {"ProgressDialog.Button.Title.Cancel", "Stop"}});
}

} // namespace

class ProgressSheetTest : public QObject {
    Q_OBJECT

private slots:
    void everyStateSetsItsMessageAndCancel_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("cancelBefore");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("cancelAfter");
        QTest::newRow("search") << 1 << true << "Searching…" << false;
        QTest::newRow("store") << 2 << true << "Reading…" << false;
        QTest::newRow("stop applications") << 3 << true << "Quitting applications…" << false;
        QTest::newRow("uninstall") << 4 << false << "Uninstalling Scan Utility…" << true;
        QTest::newRow("cancel requested") << 5 << true << "Cancelling…" << false;
        QTest::newRow("clear keeps Cancel on") << 11 << true << "" << true;
        QTest::newRow("clear keeps Cancel off") << 11 << false << "" << false;
        QTest::newRow("unknown") << 7 << true << "" << false;
    }
    void everyStateSetsItsMessageAndCancel() {
        QFETCH(int, state);
        QFETCH(bool, cancelBefore);
        QFETCH(QString, message);
        QFETCH(bool, cancelAfter);
        const Localization texts = sheetTexts();
        QMainWindow window;
        ProgressDialogController sheet(texts, &window);
        sheet.setProgressState(cancelBefore ? ProgressState::Uninstall : ProgressState::Search, "x");
        sheet.setProgressState(static_cast<ProgressState>(state), std::string("Scan Utility"));
        QCOMPARE(sheet.message(), message);
        QCOMPARE(sheet.isCancelEnabled(), cancelAfter);
    }

    void cancelRaisesTheRequestOnceAndEndingClearsIt() {
        const Localization texts = sheetTexts();
        QMainWindow window;
        ProgressDialogController sheet(texts, &window);
        std::vector<int> codes;
        sheet.startProgressDialog([&](int code) { codes.push_back(code); });
        sheet.setProgressState(ProgressState::Uninstall, std::string("Scan Utility"));
        QVERIFY(!sheet.getIsCancel());
        QTest::mouseClick(sheet.findChild<QPushButton*>("mCancelButton"), Qt::LeftButton);
        QVERIFY(sheet.getIsCancel());
        QCOMPARE(sheet.message(), QString("Cancelling…"));
        QVERIFY(!sheet.isCancelEnabled());
        sheet.endProgressDialog();
        QCOMPARE(codes, std::vector<int>{0});
        QVERIFY(!sheet.getIsCancel());
        QVERIFY(!sheet.isVisible());
        // Ending a sheet that is down does nothing.
        sheet.endProgressDialog();
        QCOMPARE(codes.size(), size_t(1));
    }

    void callsFromAWorkerRunOnTheMainThreadBeforeTheyReturn() {
        const Localization texts = sheetTexts();
        QMainWindow window;
        window.show();
        ProgressDialogController sheet(texts, &window);
        sheet.setProgressMinValue(0.0);
        sheet.setProgressMaxValue(100.0);
        QThread* handlerThread = nullptr;
        std::atomic<int> endedWith{-1};
        sheet.startProgressDialog([&](int code) {
            handlerThread = QThread::currentThread();
            endedWith = code;
        });
        QVERIFY(sheet.isVisible());
        QVERIFY(sheet.isAnimating());
        QCOMPARE(sheet.windowModality(), Qt::WindowModal);

        std::atomic<bool> sawHandlerDone{false};
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            sheet.setProgressState(ProgressState::Clear, std::nullopt);
            sheet.setProgressState(ProgressState::Uninstall, std::string("Scan Utility"));
            sheet.pushCancel();
            const bool cancelled = sheet.getIsCancel();
            sheet.cancelProcess();
            sawHandlerDone = cancelled && endedWith == 1;
            finished = true;
        });
        QTRY_VERIFY(finished.load());
        worker.join();
        QVERIFY(sawHandlerDone.load());
        QCOMPARE(handlerThread, QThread::currentThread());
        QVERIFY(!sheet.isVisible());
        QVERIFY(!sheet.isAnimating());
        // After cancelProcess the request stays.
        QVERIFY(sheet.getIsCancel());
    }

    void theUserCannotCloseTheSheet() {
        const Localization texts = sheetTexts();
        QMainWindow window;
        window.show();
        ProgressDialogController sheet(texts, &window);
        bool ended = false;
        sheet.startProgressDialog([&](int) { ended = true; });
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QTest::keyClick(&sheet, Qt::Key_Escape);
        QVERIFY(!sheet.close());
        QVERIFY(sheet.isVisible());
        QVERIFY(!ended);
        QCOMPARE(sheet.findChild<QPushButton*>("mCancelButton")->text(), QString("Stop"));
        sheet.endProgressDialog();
    }
};

QTEST_MAIN(ProgressSheetTest)
#include "ProgressSheetTest.moc"
