#include "main/AppDelegate.h"
#include "main/LaunchCoordinator.h"
#include "main/Translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("marvoline"));
    QApplication::setApplicationDisplayName(QStringLiteral("Marvoline"));
    QApplication::setDesktopFileName(QStringLiteral("org.marvoline.Marvoline"));
    QApplication::setQuitOnLastWindowClosed(true);
    marvoline::installTranslations(app);

    // The arguments as the bytes they are (QApplication has taken out its own
    // options): arguments() would decode them and lose names that are not UTF-8.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));

    marvoline::AppDelegate delegate;
    QObject::connect(&delegate, &marvoline::AppDelegate::terminateRequested, &app,
                     &QCoreApplication::quit);
    delegate.applicationWillFinishLaunching(arguments);

    marvoline::LaunchCoordinator launch(delegate);
    QObject::connect(&launch, &marvoline::LaunchCoordinator::handedOver, &app,
                     [] { QCoreApplication::exit(0); });
    launch.start();

    return QApplication::exec();
}
