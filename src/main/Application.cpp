#include "main/Application.h"

#include "main/AppDelegate.h"
#include "main/CommandLineIntake.h"
#include "main/LaunchCoordinator.h"
#include "main/MainViewController.h"
#include "main/PortalChooser.h"
#include "main/RuleIntake.h"
#include "main/Translations.h"
#include "platform/ClipboardHandOver.h"
#include "platform/FilePaths.h"
#include "platform/PngReading.h"
#include "platform/PreferencesStore.h"
#include "platform/ReminderStore.h"
#include "platform/RuleStore.h"
#include "platform/dbus/PortalAppChooser.h"
#include "platform/dbus/ReminderAgentLauncher.h"

#include <QApplication>
#include <QDBusConnection>
#include <QVariantMap>

#include <cstdio>
#include <optional>

namespace marvoline {

namespace {

struct ReminderResponse {
    QVariantMap userInfo;
    QString identifier; // of the reminder, for the agent; may be empty
};

// The answer of "--reminder-response <file URI> [<reminder identifier>]";
// absent for any other command line.
std::optional<ReminderResponse> reminderResponseArgument(const QList<QByteArray>& arguments) {
    if (arguments.size() < 2 || arguments.size() > 3 || arguments.first() != "--reminder-response")
        return std::nullopt;
    ReminderResponse response;
    if (arguments.size() == 3)
        response.identifier = QString::fromUtf8(arguments.at(2));
    const QByteArray path = localPath(QUrl::fromEncoded(arguments.at(1)));
    if (path.isEmpty())
        return response; // an answer without a file: nothing to show
    const QString text = QString::fromUtf8(path);
    // Bytes that are not UTF-8 stay bytes, as the reminder carried them.
    const QVariant value = text.toUtf8() == path ? QVariant(text) : QVariant(path);
    response.userInfo = QVariantMap{{MainViewController::laterNotificationPathKey, value}};
    return response;
}

QList<QByteArray> rawArguments(int argc, char** argv) {
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    return arguments;
}

// Prints what "--help" or "--version" ask for; false for any other request.
bool printRequestedInformation(CommandLineRequest request) {
    switch (request) {
    case CommandLineRequest::Help:
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return true;
    case CommandLineRequest::Version:
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return true;
    case CommandLineRequest::Rules:
        std::fputs(rulesText(RuleStore::standard().rules()).toLocal8Bit().constData(), stdout);
        return true;
    case CommandLineRequest::ShowFiles:
    case CommandLineRequest::Portal:
        break;
    }
    return false;
}

// Serves the desktop portal's application chooser until the bus goes away.
int runPortal(QApplication& app) {
    // Between requests no window is up; the service stays for the next one.
    QApplication::setQuitOnLastWindowClosed(false);
    QDBusConnection bus = QDBusConnection::sessionBus();
    PortalAppChooser service(bus);
    if (!bus.isConnected() || !service.registerService()) {
        //% "Cannot serve the desktop portal: %1 is taken or there is no session bus."
        std::fprintf(stderr, "marvoline: %s\n",
                     qtTrId("ui.portalUnavailable")
                         .arg(QString::fromLatin1(PortalAppChooser::serviceName))
                         .toLocal8Bit()
                         .constData());
        return 1;
    }
    PortalChooser chooser(service);
    const int status = QApplication::exec();
    Q_UNUSED(app);
    PreferencesStore::waitForBackgroundWrites(PreferencesStore::lockWaitTime +
                                              std::chrono::seconds(5));
    return status;
}

} // namespace

bool isInformationCommand(int argc, char** argv) {
    const QList<QByteArray> arguments = rawArguments(argc, argv);
    if (reminderResponseArgument(arguments))
        return false;
    const CommandLineRequest request = commandLineRequest(arguments);
    return request == CommandLineRequest::Help || request == CommandLineRequest::Version;
}

int printInformation(QCoreApplication& app, int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("marvoline"));
    installTranslations(app);
    return printRequestedInformation(commandLineRequest(rawArguments(argc, argv))) ? 0 : 2;
}

int runApplication(QApplication& app, int argc, char** argv,
                   const WindowActivation& launchActivation) {
    QApplication::setApplicationName(QStringLiteral("marvoline"));
    // No display name: Qt would append it to the window title, which names the files only.
    QApplication::setDesktopFileName(QStringLiteral("org.marvoline.Marvoline"));
    QApplication::setQuitOnLastWindowClosed(true);
    installTranslations(app);
    readPngWithoutPlugins();

    // The arguments as the bytes they are (QApplication has taken out its own
    // options): arguments() would decode them and lose names that are not UTF-8.
    QList<QByteArray> arguments = rawArguments(argc, argv);

    // A reminder answer handed over by the reminder agent is not a file of the
    // command line: it comes back without countdown.
    const std::optional<ReminderResponse> reminderResponse = reminderResponseArgument(arguments);
    if (reminderResponse)
        arguments.clear();

    if (printRequestedInformation(commandLineRequest(arguments)))
        return 0;
    if (commandLineRequest(arguments) == CommandLineRequest::Portal)
        return runPortal(app);

    AppDelegate delegate;
    delegate.ignoreRules = choosesWhateverTheRules(arguments);
    QObject::connect(&delegate, &AppDelegate::terminateRequested, &app, &QCoreApplication::quit);
    delegate.applicationWillFinishLaunching(arguments);

    LaunchCoordinator launch(delegate, launchActivation);
    if (reminderResponse)
        launch.setReminderResponse(reminderResponse->userInfo, reminderResponse->identifier);
    QObject::connect(&launch, &LaunchCoordinator::handedOver, &app,
                     [] { QCoreApplication::exit(0); });
    launch.start();
    // An agent that was killed meanwhile is back with this chooser, so that
    // the stored reminders are shown when due.
    ensureReminderAgent(
        QDBusConnection::sessionBus(), ReminderStore::standard(),
        {QCoreApplication::applicationFilePath(), QStringLiteral("--reminder-agent")}, &app);

    const int status = QApplication::exec();
    // A use count still waiting for the preferences lock is written or given
    // up before the process ends; nobody needs the window meanwhile, and a
    // chooser started meanwhile must not hand its files to this one.
    delegate.closeWindow();
    launch.release();
    // What was copied stays on the clipboard after the chooser.
    clipboard::keepAfterExit();
    PreferencesStore::waitForBackgroundWrites(PreferencesStore::lockWaitTime +
                                              std::chrono::seconds(5));
    return status;
}

} // namespace marvoline
