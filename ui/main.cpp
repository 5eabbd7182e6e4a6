#include "ui/MainWindowController.h"
#include "ui/SoftwareTableModel.h"

#include "platform/Localization.h"
#include "platform/SystemRoot.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>

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
        std::fprintf(stderr, "uninstaller: %s is not a folder\n", qPrintable(parser.value(rootOption)));
        return 1;
    }

    const Localization& texts = Localization::shared();
    QSettings settings;
    MainWindowController window(texts, settings, TextDirection::LeftToRight);
    QObject::connect(&window, &MainWindowController::quitRequested, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.start();
    const int status = QApplication::exec();
    window.waitForWorkers();
    return status;
}
