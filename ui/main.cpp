#include "ui/EngineUninstallDriver.h"
#include "ui/LanguageChoice.h"
#include "ui/MainWindowController.h"
#include "ui/ProgressDialogController.h"
#include "ui/SoftwareTableModel.h"

#include "platform/Bundle.h"
#include "platform/HostProcessManager.h"
#include "platform/Localization.h"
#include "platform/SystemRoot.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>

#include <cerrno>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("TORVA"));
    QApplication::setApplicationName(QStringLiteral("Uninstaller"));
    QApplication::setApplicationVersion(QStringLiteral(UNINSTALLER_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Removes TORVA's printer and fax drivers and utilities."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption rootOption(QStringLiteral("root"),
                                        QStringLiteral("Works on the macOS system in <folder> instead of /."),
                                        QStringLiteral("folder"));
    parser.addOption(rootOption);
    parser.process(application);
    if (parser.isSet(rootOption) && !SystemRoot::set(parser.value(rootOption).toStdString())) {
        std::fprintf(stderr, "uninstaller: %s %s\n", qPrintable(parser.value(rootOption)),
                     errno == ENOENT ? "does not exist" : "is not a folder");
        return 1;
    }

    const std::optional<Bundle> bundle = Bundle::mainBundle();
    const std::vector<std::string> languages = LanguageChoice::preferredLanguages();
    const Localization texts = bundle ? Localization::load(*bundle, languages) : Localization();
    const bool rightToLeft = LanguageChoice::isArabicLanguage(bundle, languages);
    if (rightToLeft) {
        QApplication::setLayoutDirection(Qt::RightToLeft);
    }
    QApplication::setWindowIcon(MainWindowController::applicationIcon());

    QSettings settings;
    MainWindowController window(texts, settings,
                                rightToLeft ? TextDirection::RightToLeft : TextDirection::LeftToRight);
    QObject::connect(&window, &MainWindowController::quitRequested, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // Every software takes at least five seconds, so that the user can follow the sheet.
    HostProcessManager processes;
    EngineUninstallDriver driver(window.progressDialogController(), processes, std::chrono::seconds(5));
    window.setUninstallDriver(&driver);
    window.start();
    const int status = QApplication::exec();
    window.waitForWorkers();
    return status;
}
