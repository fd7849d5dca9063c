#include "main/AppDelegate.h"

#include "main/CommandLineIntake.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"

#include <QFile>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace marvoline {

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent) {}

AppDelegate::~AppDelegate() {
    if (platform::notificationCenter().delegate() == this)
        platform::notificationCenter().setDelegate(nullptr);
    delete window;
}

void AppDelegate::applicationWillFinishLaunching(const QList<QByteArray>& arguments) {
    // From now on a reminder answer reaches us, also one that started us.
    platform::notificationCenter().setDelegate(this);

    const QList<QUrl> kept = keptCommandLineFiles(arguments);
    if (!kept.isEmpty())
        pendingURLs = kept;
    // Typed in a terminal, a command line that names nothing must not end
    // without a word.
    if (const QString message = ignoredArgumentsMessage(arguments, kept); !message.isEmpty())
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void AppDelegate::applicationDidFinishLaunching() {
    QTimer::singleShot(launchCheckDelayMs, this, &AppDelegate::handleLaunchOrTerminate);
}

void AppDelegate::handleLaunchOrTerminate() {
    // A launch by a rule ends the program itself once it has finished.
    if (m_hasShownWindow || m_ruleLaunchesInFlight > 0)
        return;
    if (pendingURLs.isEmpty())
        terminate();
    else
        showWindow();
}

void AppDelegate::showCommandLineFiles() {
    if (!mainViewController && !pendingURLs.isEmpty())
        present(std::exchange(pendingURLs, {}), !ignoreRules);
}

void AppDelegate::present(const QList<QUrl>& urls, bool byRules) {
    pendingCountdownApp.reset();
    if (byRules && takeByRules(urls))
        return;
    pendingURLs = urls;
    if (mainViewController) {
        showFiles(pendingURLs, std::exchange(pendingSkipTimer, false),
                  std::exchange(pendingCountdownApp, std::nullopt));
    } else {
        showWindow();
    }
}

void AppDelegate::openUrls(const QList<QUrl>& urls, bool byRules) {
    // Only local files can be shown; other URLs are passed over.
    QList<QUrl> files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.append(url);
    }
    if (files.isEmpty())
        return;
    present(files, byRules);
}

bool AppDelegate::openFile(const QByteArray& path) {
    openFiles({path});
    return true;
}

void AppDelegate::openFiles(const QList<QByteArray>& paths) {
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QByteArray& path : paths)
        urls.append(fileUrlFromPath(path));
    present(urls);
}

void AppDelegate::activate(const WindowActivation& activation) {
    activateWindow(window, activation);
}

void AppDelegate::didReceiveNotificationResponse(const QVariantMap& userInfo,
                                                 const WindowActivation& activation,
                                                 std::function<void()> completion) {
    struct Finish {
        std::function<void()>& done;
        ~Finish() {
            if (done)
                done();
        }
    } finish{completion};

    const QVariant path = userInfo.value(MainViewController::laterNotificationPathKey);
    if (path.typeId() != QMetaType::QString && path.typeId() != QMetaType::QByteArray)
        return;
    const QByteArray bytes = path.typeId() == QMetaType::QByteArray
                                 ? path.toByteArray()
                                 : QFile::encodeName(path.toString());
    if (!pathExists(bytes))
        return;

    const QUrl url = fileUrlFromPath(bytes);
    pendingURLs = {url};
    pendingSkipTimer = true;
    if (mainViewController) {
        // As for open events: a minimized chooser comes back, and the
        // server's token lets the window system bring it to the front.
        activate(activation);
        showFiles({url}, true);
        pendingURLs.clear();
        pendingSkipTimer = false;
    } else {
        showWindow();
        if (!activation.isEmpty())
            activate(activation);
    }
}

void AppDelegate::terminate() {
    Q_EMIT terminateRequested();
}

void AppDelegate::closeWindow() {
    delete window;
}

} // namespace marvoline
