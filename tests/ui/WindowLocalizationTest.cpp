// The window in a language: the Uninstall button grown to its title (mirrored right to left), the
// application menu's titles and the Quit tag, the headers, the About panel, the layout direction and the
// keyboard.

#include "ui/MainWindowController.h"
#include "ui/ProgressDialogController.h"

#include "tests/ui/AlertAnswerer.h"

#include "platform/Bundle.h"
#include "platform/Localization.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

Localization texts(const std::string& uninstallTitle = "Uninstall") {
    return Localization("en", {{"Main.Button.Title.Uninstall", uninstallTitle},
                               {"Main.Button.Title.Close", "Close"},
                               {"Main.Menu.AboutNewApplication", "About %@"},
                               {"Main.Menu.HideNewApplication", "Hide"},
                               {"Main.Menu.HideOthers", "Hide %@ Others"},
                               {"Main.Menu.ShowAll", "Show All"},
                               {"Main.Menu.QuitNewApplication", "Quit %@"},
                               {"Main.TableHeader.Title.Uninstall", "Uninstall"},
                               {"Main.TableHeader.Title.Name", "Name"},
                               {"Main.TableHeader.Title.Version", "Version"}});
}

QStringList menuTitles(const MainWindowController& window) {
    QStringList titles;
    for (QAction* item : window.menuBar()->actions().front()->menu()->actions()) {
        if (!item->isSeparator()) {
            titles << item->text();
        }
    }
    return titles;
}

struct Window {
    explicit Window(const Localization& localization, TextDirection direction = TextDirection::LeftToRight)
        : settings(folder.filePath("settings.ini"), QSettings::IniFormat),
          window(std::make_unique<MainWindowController>(localization, settings, direction)) {}
    QTemporaryDir folder;
    QSettings settings;
    std::unique_ptr<MainWindowController> window;
};

} // namespace

class WindowLocalizationTest : public QObject {
    Q_OBJECT

private slots:
    void theUninstallButtonGrowsToItsTitleFromItsOuterEdge_data() {
        QTest::addColumn<bool>("rightToLeft");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("grows");
        QTest::newRow("left to right, long") << false << "Uninstall the selected software" << true;
        QTest::newRow("left to right, short") << false << "Go" << false;
        QTest::newRow("right to left, long") << true << "إزالة تثبيت البرامج المحددة من الكمبيوتر" << true;
    }
    void theUninstallButtonGrowsToItsTitleFromItsOuterEdge() {
        QFETCH(bool, rightToLeft);
        QFETCH(QString, title);
        QFETCH(bool, grows);
        const Localization localization = texts();
        Window shown(localization, rightToLeft ? TextDirection::RightToLeft : TextDirection::LeftToRight);
        MainWindowController& window = *shown.window;
        window.resize(640, 440);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect uninstall = window.unInstallButton()->geometry();
        const QRect close = window.closeButton()->geometry();
        QCOMPARE(close.left() < uninstall.left(), !rightToLeft);

        window.unInstallButton()->setText(title);
        window.buttonSizeToFit();
        window.centralWidget()->layout()->activate();
        if (!grows) {
            // A title in another script may change the row's height, never where the buttons stand.
            for (const auto& [now, before] : {std::pair(window.unInstallButton()->geometry(), uninstall),
                                              std::pair(window.closeButton()->geometry(), close)}) {
                QCOMPARE(now.left(), before.left());
                QCOMPARE(now.width(), before.width());
            }
            return;
        }
        const int growth = window.unInstallButton()->sizeHint().width() - uninstall.width();
        QVERIFY(growth > 0);
        QCOMPARE(window.unInstallButton()->width(), uninstall.width() + growth);
        const QRect grown = window.unInstallButton()->geometry();
        const QRect moved = window.closeButton()->geometry();
        QCOMPARE(moved.width(), close.width());
        if (rightToLeft) {
            QCOMPARE(grown.left(), uninstall.left());
            QCOMPARE(moved.left(), close.left() + growth);
        } else {
            QCOMPARE(grown.right(), uninstall.right());
            QCOMPARE(moved.left(), close.left() - growth);
        }
    }

    void theMenuSaysUninstallerWhereItNamesTheApplication() {
        const Localization localization = texts();
        Window shown(localization);
        QCOMPARE(menuTitles(*shown.window), (QStringList{"About Uninstaller", "Hide", "Hide %@ Others",
                                                         "Show All", "Quit Uninstaller"}));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Uninstaller"));
        QAction* quit = shown.window->quitMenuItem();
        QVERIFY(quit != nullptr);
        QCOMPARE(quit->data().toInt(), 105);
    }

    void headersAreLocalizedAndCutShortAtTheEnd() {
        const Localization localization(
            "en", {{"Main.TableHeader.Title.Uninstall", "Remove this software from the computer for good"},
                   {"Main.TableHeader.Title.Name", "Name"}});
        Window shown(localization);
        QTableView* table = shown.window->softwareTable();
        QHeaderView* header = table->horizontalHeader();
        QCOMPARE(header->textElideMode(), Qt::ElideRight);
        QCOMPARE(table->model()->headerData(1, Qt::Horizontal).toString(), QString("Name"));
        // The check-box column grows for its title only so far; the rest is cut short.
        const int width = header->sectionSize(0);
        QVERIFY(width < header->fontMetrics().horizontalAdvance(
                            table->model()->headerData(0, Qt::Horizontal).toString()));
        QVERIFY(width >= 84);
        QCOMPARE(table->model()->headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 QString("Remove this software from the computer for good"));
    }

    void theAboutPanelShowsTheNameAndVersion() {
        const Localization localization = texts();
        Window shown(localization);
        AlertAnswerer answerer(localization);
        shown.window->menuBar()->actions().front()->menu()->actions().front()->trigger();
        QCOMPARE(answerer.shown().size(), size_t(1));
        QCOMPARE(answerer.shown().front().title, QString("Uninstaller"));
        QVERIFY(answerer.shown().front().message.contains(QStringLiteral(UNINSTALLER_VERSION)));
    }

    void arabicLaysTheWholeWindowOutRightToLeft() {
        const Localization localization = texts();
        Window arabic(localization, TextDirection::RightToLeft);
        Window english(localization, TextDirection::LeftToRight);
        QCOMPARE(arabic.window->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(arabic.window->softwareTable()->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(arabic.window->progressDialogController().layoutDirection(), Qt::RightToLeft);
        QCOMPARE(english.window->layoutDirection(), Qt::LeftToRight);
    }

    // Screen readers hear the window's controls in the window's language: the table, the sheet, its
    // message and its indicator are named from the strings table; buttons by their titles.
    void everyControlIsNamedInTheLanguage_data() {
        QTest::addColumn<QString>("language");
        for (const char* language : {"en", "ja", "fr", "de", "es", "zh_CN", "ar"}) {
            QTest::newRow(language) << QString(language);
        }
    }
    void everyControlIsNamedInTheLanguage() {
        QFETCH(QString, language);
        const Localization localization = Localization::load(*Bundle::mainBundle(), {language.toStdString()});
        QCOMPARE(QString::fromStdString(localization.language()), language);
        const Localization english = Localization::load(*Bundle::mainBundle(), {"en"});
        Window shown(localization);
        ProgressDialogController& sheet = shown.window->progressDialogController();
        const std::pair<QWidget*, const char*> named[] = {
            {shown.window->softwareTable(), "Main.Accessibility.Table"},
            {&sheet, "ProgressDialog.Accessibility.Sheet"},
            {sheet.findChild<QLabel*>("mMessageField"), "ProgressDialog.Accessibility.Message"},
            {sheet.findChild<QProgressBar*>("mProgressIndicator"), "ProgressDialog.Accessibility.Indicator"},
        };
        for (const auto& [control, key] : named) {
            QVERIFY2(control != nullptr, key);
            QCOMPARE(control->accessibleName(), QString::fromStdString(localization.localizedString(key)));
            QVERIFY2(language == "en" ||
                         control->accessibleName() != QString::fromStdString(english.localizedString(key)),
                     key);
        }
        for (QPushButton* button : shown.window->findChildren<QPushButton*>()) {
            QVERIFY2(!button->accessibleName().isEmpty() || !button->text().isEmpty(),
                     qPrintable(button->objectName()));
        }
    }

    void theKeyboardReachesTheTableAndButtons() {
        const Localization localization = texts();
        Window shown(localization);
        MainWindowController& window = *shown.window;
        window.closeButton()->setEnabled(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.softwareTable()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.closeButton());
        QSignalSpy quits(&window, &MainWindowController::quitRequested);
        QTest::keyClick(window.closeButton(), Qt::Key_Return);
        QCOMPARE(quits.count(), 1);
    }
};

QTEST_MAIN(WindowLocalizationTest)
#include "WindowLocalizationTest.moc"
