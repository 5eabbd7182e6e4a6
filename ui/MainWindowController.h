#pragma once

#include "catalogue/SearchSoftwareInformationManager.h"
#include "catalogue/StoreSoftwareInformationManager.h"
#include "ui/SoftwareSelection.h"
#include "ui/SoftwareTableModel.h"

#include <QIcon>
#include <QMainWindow>
#include <QRect>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

class Localization;
class ProgressDialogController;
class QAction;
class QLabel;
class QPushButton;
class QSettings;
class QTableView;
class UninstallDriver;

namespace Ui {
class MainWindow;
}

/// The application's one window: it searches for the maker's software under the progress sheet, lists
/// it in the table, and runs the uninstall of the ticked software on the uninstall thread, ending with
/// an alert and quitting.
///
/// The search and the uninstall run on std::threads of their own; they reach the widgets only through
/// the progress sheet and the calls carried to the main thread here. Both are joined by waitForWorkers.
class MainWindowController : public QMainWindow {
    Q_OBJECT

public:
    /// The settings key of the saved window frame ("x y width height").
    static constexpr const char* kFrameKey = "NSWindow Frame Uninstaller";

    /// A window with texts from `texts` that keeps its frame in `settings`; both must outlive it.
    MainWindowController(const Localization& texts, QSettings& settings, TextDirection direction,
                         QWidget* parent = nullptr);
    /// Waits for the worker threads (see waitForWorkers).
    ~MainWindowController() override;

    /// The driver that runs the uninstall; it must outlive the uninstall thread (waitForWorkers).
    void setUninstallDriver(UninstallDriver* driver) { uninstallManager = driver; }

    /// The shared progress sheet, which the uninstall driver drives as well.
    ProgressDialogController& progressDialogController() { return *mProgress; }

    /// Launching: puts the window where it was left (centred the first time), shows it with the search
    /// sheet over it and starts the search thread.
    void start();

    /// After the event loop has ended: serves the main thread's calls until the worker threads have
    /// finished, then joins them. Alerts are no longer shown once quitting has begun.
    void waitForWorkers();

    // Localization of the window, done once when it is made; public for the tests.

    /// Widens the Uninstall button to its title; it never shrinks. The button row keeps the button's
    /// outer edge (the right one, the left one right to left) and moves Close by the growth.
    void buttonSizeToFit();
    /// Localizes the application menu's template items, with "Uninstaller" for "%@" where they name the
    /// application, and routes About to showAboutPanel.
    void localizeMenuItem();
    /// Localized column headers, cut short with an ellipsis at the end when the column is too narrow.
    void setTabelColumnTitle();
    /// The About panel: the application's name, its version from Info.plist and its icon.
    void showAboutPanel();
    /// The icon the bundle's Info.plist names (CFBundleIconFile in its resources); null when none.
    static QIcon applicationIcon();

    /// The Uninstall button: confirmation (alert 1001), then the uninstall under the sheet.
    void pushUnInstall();
    /// The Close button: quits.
    void pushClose();

    // The window's parts, for its tests.
    SoftwareTableModel& tableModel() { return *mModel; }
    StoreSoftwareInformationManager& store() { return storeManager; }
    QTableView* softwareTable() const;
    QPushButton* unInstallButton() const;
    QPushButton* closeButton() const;
    QLabel* messageField() const;
    QLabel* informationField() const;
    /// The menu item that quits (tag 105).
    QAction* quitMenuItem() const;

signals:
    /// The application should quit (connected to QCoreApplication::quit, queued).
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void searchingTask();
    void uninstallProcessTask();
    /// End handler of the search sheet.
    void displayMainWindow(int returnCode);
    /// End handler of the uninstall sheet.
    void uninstallStart(int returnCode);
    /// Shows an alert on the main thread from any thread and gives its result; 0 once quitting.
    int showAlertPanel(int32_t code, const std::string& more = {});
    /// Asks the application to quit, from any thread.
    void terminate_Process();
    /// Enables or disables the Quit menu item (tag 105).
    void setEnabledAtQuitApplication(bool enabled);
    void updateUnInstallButton();
    void updateInformationField();
    std::optional<QRect> savedWindowFrame() const;
    void saveWindowFrame();
    bool isWorking() const;

    std::unique_ptr<Ui::MainWindow> mUi;
    const Localization& mTexts;
    QSettings& mSettings;
    SearchSoftwareInformationManager searchManager;
    StoreSoftwareInformationManager storeManager;
    SoftwareSelection mSelection;
    SoftwareTableModel* mModel = nullptr;          // child of the window
    ProgressDialogController* mProgress = nullptr; // child of the window
    UninstallDriver* uninstallManager = nullptr;
    std::thread mSearchThread;
    std::thread mUninstallThread;
    std::atomic<bool> mSearchRunning{false};
    std::atomic<bool> mUninstallRunning{false};
    bool mUninstalling = false; // main thread only
    bool mNothingFound = false; // written by the search thread before its sheet ends
    bool mQuitting = false;     // main thread only
};
