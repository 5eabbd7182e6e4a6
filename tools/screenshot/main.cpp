// uninstaller-screenshot --root DIR [--language L] [--window PNG] [--sheet PNG] [--alert PNG]: starts the
// window on the system in DIR, waits for its search, and writes pictures of it: the table with the first
// and last rows ticked and the last selected, the uninstall sheet over it, and the confirmation alert
// over it. Sheet and alert are drawn onto the window's picture, dimmed, where they would open. Alerts
// that would wait for a user are answered, so the program always ends.
//
// uninstaller-screenshot --compare A.png B.png: exit 0 when the two pictures are the same, pixel for
// pixel, 1 when they differ (with how), 2 when one cannot be read.

#include "ui/AlertPanelManager.h"
#include "ui/LanguageChoice.h"
#include "ui/MainWindowController.h"
#include "ui/ProgressDialogController.h"
#include "ui/SoftwareTableModel.h"

#include "catalogue/RowTicks.h"
#include "engine/AlertMessage.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/SystemRoot.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// Lets the event loop run for a while (layouts, the busy indicator).
void settle(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// The window with a panel drawn over it: the window dimmed, the panel with a shadow, at the top below
// the menu bar for a sheet, a third of the way down for an alert.
QImage compose(QMainWindow& window, const QPixmap& top, bool asSheet) {
    QImage canvas = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QPainter painter(&canvas);
    painter.fillRect(canvas.rect(), QColor(0, 0, 0, 50));
    const int x = (canvas.width() - top.width()) / 2;
    const int y = asSheet ? window.menuBar()->height() : (canvas.height() - top.height()) / 3;
    for (int spread = 6; spread > 0; --spread) {
        painter.fillRect(
            QRect(x - spread, y - spread + 3, top.width() + 2 * spread, top.height() + 2 * spread),
            QColor(0, 0, 0, 10));
    }
    painter.drawPixmap(x, y, top);
    painter.setPen(QColor(0, 0, 0, 90));
    painter.drawRect(QRect(x, y, top.width() - 1, top.height() - 1));
    return canvas;
}

bool save(const QImage& image, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "uninstaller-screenshot: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Whether two pictures are the same, pixel for pixel, with how they differ on standard output.
int compare(const QStringList& pictures) {
    if (pictures.size() != 2) {
        std::fputs("uninstaller-screenshot: --compare needs two pictures\n", stderr);
        return kUsage;
    }
    const QImage before = QImage(pictures[0]).convertToFormat(QImage::Format_ARGB32);
    const QImage now = QImage(pictures[1]).convertToFormat(QImage::Format_ARGB32);
    if (before.isNull() || now.isNull()) {
        std::fprintf(stderr, "uninstaller-screenshot: cannot read %s\n",
                     qPrintable(before.isNull() ? pictures[0] : pictures[1]));
        return kUsage;
    }
    if (before.size() != now.size()) {
        std::printf("%dx%d, now %dx%d\n", before.width(), before.height(), now.width(), now.height());
        return kFailed;
    }
    long differing = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            differing += before.pixel(x, y) != now.pixel(x, y) ? 1 : 0;
        }
    }
    if (differing > 0) {
        std::printf("%ld pixels differ\n", differing);
        return kFailed;
    }
    return kDone;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("UNINSTALLER_BUNDLE") == nullptr) {
        ::setenv("UNINSTALLER_BUNDLE", UNINSTALLER_BUILD_BUNDLE, 1);
    }
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption root("root", "The macOS system to show.", "folder");
    const QCommandLineOption language("language", "The language of the texts (en, ja, ar, ...).", "code",
                                      "en");
    const QCommandLineOption windowPicture("window", "Writes the window with a row ticked.", "png");
    const QCommandLineOption sheetPicture("sheet", "Writes the uninstall sheet over the window.", "png");
    const QCommandLineOption alertPicture("alert", "Writes the confirmation alert over the window.", "png");
    const QCommandLineOption comparePictures("compare",
                                             "Compares two pictures: exit 0 when they are the same.");
    parser.addOptions({root, language, windowPicture, sheetPicture, alertPicture, comparePictures});
    parser.process(application);
    if (parser.isSet(comparePictures)) {
        return compare(parser.positionalArguments());
    }
    if (!parser.isSet(root)) {
        std::fputs("uninstaller-screenshot: --root is missing\n", stderr);
        return kUsage;
    }
    if (!SystemRoot::set(parser.value(root).toStdString())) {
        std::fprintf(stderr, "uninstaller-screenshot: %s is not a folder\n", qPrintable(parser.value(root)));
        return kFailed;
    }
    const std::optional<Bundle> bundle = Bundle::mainBundle();
    if (!bundle) {
        std::fputs("uninstaller-screenshot: no application bundle\n", stderr);
        return kFailed;
    }
    const std::vector<std::string> languages = {parser.value(language).toStdString()};
    const Localization texts = Localization::load(*bundle, languages);
    const bool rightToLeft = LanguageChoice::isArabicLanguage(bundle, languages);
    if (rightToLeft) {
        QApplication::setLayoutDirection(Qt::RightToLeft);
    }
    QApplication::setWindowIcon(MainWindowController::applicationIcon());
    const TextDirection direction = rightToLeft ? TextDirection::RightToLeft : TextDirection::LeftToRight;

    // The frame is not taken from, nor left in, the user's settings.
    QTemporaryDir settingsFolder;
    QSettings settings(settingsFolder.filePath("settings.ini"), QSettings::IniFormat);
    MainWindowController window(texts, settings, direction);
    bool quitRequested = false;
    QObject::connect(&window, &MainWindowController::quitRequested, [&] { quitRequested = true; });
    // Nothing found shows an alert that would wait for a user: it is answered and reported.
    QTimer answerAlerts;
    QObject::connect(&answerAlerts, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "uninstaller-screenshot: %s\n", qPrintable(box->text()));
            box->done(0);
        }
    });
    answerAlerts.start(100);

    window.resize(700, 460);
    window.start();
    QDeadlineTimer deadline(60000);
    while (!window.tableModel().isLoaded() && !quitRequested && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    int status = kDone;
    if (!window.tableModel().isLoaded() || quitRequested || window.tableModel().rowCount() == 0) {
        std::fputs("uninstaller-screenshot: the window found no software to show\n", stderr);
        status = kFailed;
    } else {
        // The first and the last row ticked (on the sample system the printer drivers, which take the fax
        // driver along, and a utility), the last one selected.
        const int row = window.tableModel().rowCount() - 1;
        window.tableModel().setTicked(0, true);
        window.tableModel().setTicked(row, true);
        // setCurrentIndex rather than selectRow, which finds no column at the edge of a right-to-left view.
        window.softwareTable()->setCurrentIndex(
            window.tableModel().index(row, SoftwareTableModel::NameColumn));
        const std::vector<DisplayRecord>& rows = window.store().getMSoftwareInformationForDisplayArray();
        const std::vector<RowTicks::Taken> taken =
            RowTicks::takenRows(rows, window.store().getMSoftwareInformationArray());
        settle(200);
        if (parser.isSet(windowPicture) && !save(window.grab().toImage(), parser.value(windowPicture))) {
            status = kFailed;
        }
        if (parser.isSet(sheetPicture)) {
            // The second software of the run, as the uninstall shows it. A sheet never drawn before, drawn
            // at once: its busy indicator then stands at the start of its animation, so that the picture
            // is the same on every run.
            ProgressDialogController sheet(texts, &window);
            sheet.setLayoutDirection(window.layoutDirection());
            const size_t shown = std::min<size_t>(1, taken.size() - 1);
            sheet.setProgressSoftware(rows[taken[shown].row].applicationName, shown + 1, taken.size());
            sheet.startProgressDialog([](int) {});
            const QPixmap panel = sheet.grab();
            if (!save(compose(window, panel, /*asSheet=*/true), parser.value(sheetPicture))) {
                status = kFailed;
            }
            sheet.endProgressDialog();
        }
        if (parser.isSet(alertPicture)) {
            std::unique_ptr<QMessageBox> box = AlertPanelManager::makeMessageBox(
                AlertMessage::confirmation(AlertMessage::removalItems(rows, taken, texts), texts), &window);
            box->setWindowModality(Qt::NonModal);
            box->show();
            settle(200);
            if (!save(compose(window, box->grab(), /*asSheet=*/false), parser.value(alertPicture))) {
                status = kFailed;
            }
            box->hide();
        }
    }
    window.waitForWorkers();
    return status;
}
