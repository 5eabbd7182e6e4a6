#include "ui/MainWindowController.h"

#include "ui/AlertPanelManager.h"
#include "ui/MainThread.h"
#include "ui/ProgressDialogController.h"
#include "ui/UninstallDriver.h"
#include "ui/UninstallResult.h"
#include "ui_MainWindow.h"

#include "catalogue/StartupSearch.h"
#include "engine/AlertMessage.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QStyle>

#include <algorithm>
#include <chrono>

namespace {

// The Quit item's tag, by which the uninstall finds and locks it.
constexpr int kQuitMenuItemTag = 105;

constexpr const char* kApplicationName = "Uninstaller";

// The application menu's items as the window's form names them, and their localized titles.
struct MenuTemplate {
    const char* title;
    const char* key;
    bool namesApplication; // "%@" becomes "Uninstaller"
};
constexpr MenuTemplate kMenuTemplates[] = {
    {"About NewApplication", "Main.Menu.AboutNewApplication", true},
    {"Hide NewApplication", "Main.Menu.HideNewApplication", true},
    {"Hide Others", "Main.Menu.HideOthers", false},
    {"Show All", "Main.Menu.ShowAll", false},
    {"Quit NewApplication", "Main.Menu.QuitNewApplication", true},
};

// The check-box column is at least this wide, and grows to its title up to the cap; past it the title
// is cut short.
constexpr int kUninstallColumnWidth = 84;
constexpr int kUninstallColumnMaximumWidth = 150;

QString text(const Localization& texts, const char* key) {
    return QString::fromStdString(texts.localizedString(key));
}

} // namespace

MainWindowController::MainWindowController(const Localization& texts, QSettings& settings,
                                           TextDirection direction, QWidget* parent)
    : QMainWindow(parent), mUi(std::make_unique<Ui::MainWindow>()), mTexts(texts), mSettings(settings),
      mSelection(storeManager.getMSoftwareInformationArray(),
                 storeManager.getMSoftwareInformationForDisplayArray()) {
    mUi->setupUi(this);
    mUi->actionQuit->setData(kQuitMenuItemTag);
    // Only one window: there are no other windows to hide.
    mUi->actionHideOthers->setEnabled(false);
    setWindowIcon(applicationIcon());
    mProgress = new ProgressDialogController(mTexts, this);
    mModel = new SoftwareTableModel(mSelection, mTexts, direction, this);

    QTableView* table = mUi->mSoftwareInformationTable;
    table->setModel(mModel);
    table->setAccessibleName(text(mTexts, "Main.Accessibility.Table"));
    QHeaderView* header = table->horizontalHeader();
    header->setSectionResizeMode(SoftwareTableModel::UninstallColumn, QHeaderView::Fixed);
    header->setSectionResizeMode(SoftwareTableModel::NameColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(SoftwareTableModel::VersionColumn, QHeaderView::Interactive);
    header->resizeSection(SoftwareTableModel::VersionColumn, 100);
    header->setSectionResizeMode(SoftwareTableModel::SizeColumn, QHeaderView::Interactive);
    header->resizeSection(SoftwareTableModel::SizeColumn, 100);
    table->installEventFilter(this);

    connect(mModel, &SoftwareTableModel::tickedChanged, this, &MainWindowController::updateUnInstallButton);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindowController::updateInformationField);
    connect(mModel, &QAbstractItemModel::modelReset, this, &MainWindowController::updateInformationField);
    connect(mUi->mUnInstallButton, &QPushButton::clicked, this, &MainWindowController::pushUnInstall);
    connect(mUi->mCloseButton, &QPushButton::clicked, this, &MainWindowController::pushClose);
    connect(mUi->actionQuit, &QAction::triggered, this, &MainWindowController::pushClose);
    connect(mUi->actionHide, &QAction::triggered, this, &QWidget::showMinimized);
    connect(mUi->actionShowAll, &QAction::triggered, this, &QWidget::showNormal);

    mUi->mUnInstallButton->setEnabled(false);
    mUi->mCloseButton->setEnabled(false);
    mUi->mUnInstallButton->setText(text(mTexts, "Main.Button.Title.Uninstall"));
    mUi->mCloseButton->setText(text(mTexts, "Main.Button.Title.Close"));
    // The sheet is a window of its own and does not take the direction from its parent.
    const Qt::LayoutDirection layout =
        direction == TextDirection::RightToLeft ? Qt::RightToLeft : Qt::LeftToRight;
    setLayoutDirection(layout);
    mProgress->setLayoutDirection(layout);
    buttonSizeToFit();
    localizeMenuItem();
    setTabelColumnTitle();
}

MainWindowController::~MainWindowController() {
    waitForWorkers();
}

QTableView* MainWindowController::softwareTable() const {
    return mUi->mSoftwareInformationTable;
}

QPushButton* MainWindowController::unInstallButton() const {
    return mUi->mUnInstallButton;
}

QPushButton* MainWindowController::closeButton() const {
    return mUi->mCloseButton;
}

QLabel* MainWindowController::messageField() const {
    return mUi->mMessageField;
}

QLabel* MainWindowController::informationField() const {
    return mUi->mInformationField;
}

QAction* MainWindowController::quitMenuItem() const {
    for (QAction* menu : menuBar()->actions()) {
        if (menu->menu() == nullptr) {
            continue;
        }
        for (QAction* item : menu->menu()->actions()) {
            if (item->data().toInt() == kQuitMenuItemTag) {
                return item;
            }
        }
    }
    return nullptr;
}

// --- Localization ------------------------------------------------------------------------------------

void MainWindowController::buttonSizeToFit() {
    QPushButton* button = mUi->mUnInstallButton;
    const int width = button->minimumWidth();
    const int fitted = button->sizeHint().width();
    if (fitted <= width) {
        return;
    }
    // The button row is laid out from its outer edge, so the growth moves Close and nothing else.
    button->setFixedWidth(fitted);
}

void MainWindowController::localizeMenuItem() {
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kApplicationName));
    for (QAction* menu : menuBar()->actions()) {
        if (menu->menu() == nullptr) {
            continue;
        }
        for (QAction* item : menu->menu()->actions()) {
            for (const MenuTemplate& entry : kMenuTemplates) {
                if (item->text() != QLatin1String(entry.title)) {
                    continue;
                }
                std::string title = mTexts.localizedString(entry.key);
                if (entry.namesApplication) {
                    title = Localization::formatWithArgument(title, kApplicationName);
                }
                // A "&" in a title is shown, not taken for a keyboard mnemonic.
                item->setText(QString::fromStdString(title).replace(QLatin1Char('&'), QLatin1String("&&")));
                if (item == mUi->actionAbout) {
                    connect(item, &QAction::triggered, this, &MainWindowController::showAboutPanel,
                            Qt::UniqueConnection);
                }
                break;
            }
        }
    }
}

void MainWindowController::setTabelColumnTitle() {
    QHeaderView* header = mUi->mSoftwareInformationTable->horizontalHeader();
    header->setTextElideMode(Qt::ElideRight);
    mModel->headerDataChanged(Qt::Horizontal, 0, SoftwareTableModel::ColumnCount - 1);
    const QString title = mModel->headerData(SoftwareTableModel::UninstallColumn, Qt::Horizontal).toString();
    const int titleWidth = header->fontMetrics().horizontalAdvance(title) +
                           2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin) + 8;
    header->resizeSection(SoftwareTableModel::UninstallColumn,
                          std::clamp(titleWidth, kUninstallColumnWidth, kUninstallColumnMaximumWidth));
}

QIcon MainWindowController::applicationIcon() {
    const std::optional<Bundle> bundle = Bundle::mainBundle();
    const std::optional<PlistValue> info = bundle ? bundle->infoDictionary() : std::nullopt;
    const std::optional<std::string> file = info ? info->stringForKey("CFBundleIconFile") : std::nullopt;
    if (!file || file->empty() || file->find('/') != std::string::npos) {
        return {};
    }
    return QIcon(QString::fromStdString(bundle->resourcePath() + "/" + *file));
}

void MainWindowController::showAboutPanel() {
    std::string version;
    if (const std::optional<Bundle> bundle = Bundle::mainBundle()) {
        if (const std::optional<PlistValue> info = bundle->infoDictionary()) {
            version = info->stringForKey("CFBundleShortVersionString").value_or("");
        }
    }
    QMessageBox panel(this);
    panel.setWindowModality(Qt::ApplicationModal);
    panel.setWindowTitle(mUi->actionAbout->text().replace(QLatin1String("&&"), QLatin1String("&")));
    panel.setTextFormat(Qt::PlainText);
    panel.setText(QString::fromLatin1(kApplicationName));
    if (!version.empty()) {
        panel.setInformativeText(
            QString::fromStdString(mTexts.localizedString("Main.TableHeader.Title.Version") + " " +
                                   mTexts.isolatedLeftToRight(version)));
    }
    const QIcon icon = windowIcon();
    if (!icon.isNull()) {
        panel.setIconPixmap(icon.pixmap(64, 64));
    }
    panel.addButton(QMessageBox::Ok);
    panel.exec();
}

// --- Start-up ----------------------------------------------------------------------------------------

void MainWindowController::start() {
    if (const std::optional<QRect> frame = savedWindowFrame()) {
        setGeometry(*frame);
    } else if (const QScreen* screen = this->screen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        setGeometry(frame);
    }
    show();
    activateWindow();

    mProgress->setProgressMinValue(0.0);
    mProgress->setProgressMaxValue(100.0);
    mProgress->setProgressState(ProgressState::Clear, std::nullopt);
    mProgress->setProgressState(ProgressState::Search, std::nullopt);
    mProgress->startProgressDialog([this](int returnCode) { displayMainWindow(returnCode); });

    mSearchRunning = true;
    mSearchThread = std::thread([this] {
        searchingTask();
        mSearchRunning = false;
    });
}

void MainWindowController::searchingTask() {
    const StartupSearch::Outcome outcome = StartupSearch::run(searchManager, storeManager, [this] {
        mProgress->setProgressMinValue(0.0);
        mProgress->setProgressMaxValue(100.0);
        mProgress->setProgressState(ProgressState::Clear, std::nullopt);
        mProgress->setProgressState(ProgressState::Store, std::nullopt);
    });
    // The driver gets the paths every uninstall keeps before the table can be used: an uninstall started
    // without them could delete what other software still needs.
    if (uninstallManager != nullptr) {
        uninstallManager->setAllSoftwareRestPathListArray(storeManager.getMergedAllSoftwareRestPathList());
    }
    if (outcome == StartupSearch::Outcome::Found) {
        mProgress->endProgressDialog();
        return;
    }
    // The sheet goes before the alert opens, so that the alert is never stacked on a sheet.
    mNothingFound = true;
    mProgress->endProgressDialog();
    showAlertPanel(outcome == StartupSearch::Outcome::NotASystem ? 1004 : 1000);
    terminate_Process();
}

void MainWindowController::displayMainWindow(int returnCode) {
    if (returnCode != 0 || mQuitting || mNothingFound) {
        return;
    }
    mModel->load();
    mUi->mMessageField->setText(text(mTexts, "Main.Message.Uninstall"));
    mUi->mCloseButton->setEnabled(true);
    updateUnInstallButton();
}

// --- Uninstall ---------------------------------------------------------------------------------------

void MainWindowController::pushUnInstall() {
    if (mUninstalling || !mModel->isLoaded() || !mSelection.hasTickedRow()) {
        return;
    }
    activateWindow();
    const AlertMessage question = AlertMessage::confirmation(
        AlertMessage::removalItems(storeManager.getMSoftwareInformationForDisplayArray(),
                                   mSelection.takenRows(), mTexts),
        mTexts);
    if (AlertPanelManager::showAlertPanel(question, this) != 1) {
        return;
    }
    mUninstalling = true;
    setEnabledAtQuitApplication(false);
    mUi->mUnInstallButton->setEnabled(false);
    mUi->mCloseButton->setEnabled(false);

    mProgress->setProgressMinValue(0.0);
    mProgress->setProgressMaxValue(100.0);
    mProgress->setProgressState(ProgressState::Clear, std::nullopt);
    mProgress->setProgressState(ProgressState::StopApplication, std::nullopt);
    mProgress->startProgressDialog([this](int returnCode) { uninstallStart(returnCode); });

    // The search thread has nothing left to do once its sheet has ended; the two never overlap.
    if (mSearchThread.joinable()) {
        mSearchThread.join();
    }
    if (uninstallManager != nullptr) {
        std::vector<std::string> rows;
        std::vector<std::string> takenAlong;
        for (const RowTicks::Taken& taken : mSelection.takenRows()) {
            (taken.ticked ? rows : takenAlong).push_back(mSelection.row(taken.row).applicationName);
        }
        uninstallManager->setRequestedRows(rows, takenAlong);
    }
    mUninstallRunning = true;
    mUninstallThread = std::thread([this] {
        uninstallProcessTask();
        mUninstallRunning = false;
    });
}

void MainWindowController::uninstallProcessTask() {
    int32_t result = 5000;
    UninstallDriver::Leftovers leftovers;
    if (uninstallManager != nullptr) {
        result = uninstallManager->processUnInstall(storeManager.getMSoftwareInformationArray());
        leftovers = uninstallManager->leftovers();
    }
    if (const std::optional<int32_t> alert = uninstallresult::alertCode(result)) {
        // The sheet ends first, so that the result is not stacked on it; then the application quits.
        mProgress->endProgressDialog();
        showAlertPanel(*alert, *alert == 5000 && leftovers.failed > 0
                                   ? AlertMessage::failureCount(mTexts, leftovers.failed, leftovers.total)
                                   : std::string());
        terminate_Process();
        return;
    }
    // After a cancel the driver has ended the sheet and its end handler has told the user; should the
    // sheet still be up, it is ended the same way rather than left over a dead window.
    mProgress->cancelProcess();
}

void MainWindowController::uninstallStart(int returnCode) {
    if (returnCode != 1) {
        return;
    }
    showAlertPanel(1003);
    terminate_Process();
}

void MainWindowController::setEnabledAtQuitApplication(bool enabled) {
    for (QAction* menu : menuBar()->actions()) {
        if (menu->menu() == nullptr) {
            continue;
        }
        for (QAction* item : menu->menu()->actions()) {
            if (item->data().toInt() == kQuitMenuItemTag) {
                item->setEnabled(enabled);
            }
        }
    }
}

// --- Services ----------------------------------------------------------------------------------------

int MainWindowController::showAlertPanel(int32_t code, const std::string& more) {
    int result = 0;
    mainthread::runAndWait(this, [this, code, &more, &result] {
        if (!mQuitting) {
            result = AlertPanelManager::showAlertPanel(code, mTexts, this, more);
        }
    });
    return result;
}

void MainWindowController::terminate_Process() {
    mainthread::runAndWait(this, [this] {
        mQuitting = true;
        emit quitRequested();
    });
}

void MainWindowController::pushClose() {
    // During the uninstall nothing quits but its end; the search may be left at any time.
    if (!mUninstalling) {
        terminate_Process();
    }
}

bool MainWindowController::isWorking() const {
    return mUninstalling || mProgress->isUp();
}

void MainWindowController::waitForWorkers() {
    mQuitting = true;
    // A worker may be waiting for the main thread; its calls are served until it has finished.
    while (mSearchRunning || mUninstallRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (mSearchThread.joinable()) {
        mSearchThread.join();
    }
    if (mUninstallThread.joinable()) {
        mUninstallThread.join();
    }
}

void MainWindowController::updateUnInstallButton() {
    mUi->mUnInstallButton->setEnabled(!mUninstalling && mModel->isLoaded() && mSelection.hasTickedRow());
}

void MainWindowController::updateInformationField() {
    const QModelIndexList rows = mUi->mSoftwareInformationTable->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        mUi->mInformationField->clear();
        return;
    }
    mUi->mInformationField->setText(
        QString::fromStdString(mSelection.informationText(static_cast<size_t>(rows.front().row()), mTexts)));
}

// --- Window events -----------------------------------------------------------------------------------

void MainWindowController::closeEvent(QCloseEvent* event) {
    // While the sheet is up the window cannot be closed, as on the platform where the sheet covers it.
    if (isWorking()) {
        event->ignore();
        return;
    }
    event->accept();
    terminate_Process();
}

bool MainWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mUi->mSoftwareInformationTable && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            const QModelIndex current = mUi->mSoftwareInformationTable->currentIndex();
            if (current.isValid()) {
                mModel->toggle(current.row());
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

std::optional<QRect> MainWindowController::savedWindowFrame() const {
    const QStringList parts = mSettings.value(kFrameKey).toString().split(' ', Qt::SkipEmptyParts);
    if (parts.size() != 4) {
        return std::nullopt;
    }
    int numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    const QRect frame(numbers[0], numbers[1], numbers[2], numbers[3]);
    if (frame.width() <= 0 || frame.height() <= 0) {
        return std::nullopt;
    }
    // A frame left on a screen that is gone is not used: the window would open out of sight.
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(frame)) {
            return frame;
        }
    }
    return std::nullopt;
}

void MainWindowController::saveWindowFrame() {
    if (!isVisible() || isMinimized() || isMaximized() || isFullScreen()) {
        return;
    }
    const QRect frame = geometry();
    mSettings.setValue(
        kFrameKey,
        QStringLiteral("%1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height()));
}

void MainWindowController::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    saveWindowFrame();
}

void MainWindowController::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    saveWindowFrame();
}
