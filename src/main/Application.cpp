#include "main/Application.h"

#include "main/AppDelegate.h"
#include "main/LaunchCoordinator.h"
#include "main/Translations.h"

#include <QApplication>

namespace marvoline {

int runApplication(QApplication& app, int argc, char** argv) {
    QApplication::setApplicationName(QStringLiteral("marvoline"));
    // No display name: Qt would append it to the window title, which names the files only.
    QApplication::setDesktopFileName(QStringLiteral("org.marvoline.Marvoline"));
    QApplication::setQuitOnLastWindowClosed(true);
    installTranslations(app);

    // The arguments as the bytes they are (QApplication has taken out its own
    // options): arguments() would decode them and lose names that are not UTF-8.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));

    AppDelegate delegate;
    QObject::connect(&delegate, &AppDelegate::terminateRequested, &app, &QCoreApplication::quit);
    delegate.applicationWillFinishLaunching(arguments);

    LaunchCoordinator launch(delegate);
    QObject::connect(&launch, &LaunchCoordinator::handedOver, &app,
                     [] { QCoreApplication::exit(0); });
    launch.start();

    return QApplication::exec();
}

} // namespace marvoline
