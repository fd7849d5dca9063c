#include "main/AppDelegate.h"

#include "main/MainViewController.h"
#include "main/ScreenChoice.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/RegistryReadScope.h"
#include "views/NextFrame.h"
#include "views/SymbolIcons.h"

#include <QEvent>
#include <QFile>
#include <QVBoxLayout>

#include <utility>

namespace marvoline {

namespace {

// Qt reads "[*]" in a window title as the unsaved-changes marker and drops it;
// "[*][*]" shows one literal "[*]". File names may contain it.
QString escapedWindowTitle(QString title) {
    return title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

} // namespace

QString AppDelegate::windowTitle(const QList<QUrl>& urls) {
    if (urls.isEmpty())
        return {};
    QString title = displayFileName(urls.first());
    if (urls.size() > 1)
        title += QStringLiteral(" (") + QString::number(urls.size()) + QStringLiteral("件)");
    return title;
}

bool AppDelegate::computeIsOpenAsContext(const QUrl& firstFile) {
    AppRegistry& registry = platform::registry();
    const std::optional<QUrl> app = registry.defaultApplicationForFile(firstFile);
    if (!app)
        return true;
    const std::optional<QString> id = registry.bundleIdentifier(*app);
    return !(id && *id == AppRegistry::ownIdentifier());
}

void AppDelegate::centerWindowOnMouseScreen(QWidget* target) {
    centerOnScreenUnderPointer(target);
}

void AppDelegate::showWindow() {
    if (m_hasShownWindow || pendingURLs.isEmpty())
        return;
    m_hasShownWindow = true;

    auto* w = new QWidget(nullptr, Qt::Window);
    w->setObjectName(QStringLiteral("chooserWindow"));
    w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    // The icon is set once the window has been painted (see eventFilter).
    w->installEventFilter(this);
    w->resize(520, 420);
    w->setMinimumSize(520, 300);
    window = w;

    centerWindowOnMouseScreen(w);

    auto* controller = new MainViewController;
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(controller);
    mainViewController = controller;
    connect(controller, &MainViewController::terminateRequested, this, &AppDelegate::terminate);
    connect(controller, &MainViewController::launchStarted, this, &AppDelegate::launchStarted);
    connect(controller, &MainViewController::launchFailed, this, &AppDelegate::launchFailed);
    // Some files went to their applications: the title counts those that stayed.
    connect(controller, &MainViewController::filesKept, w, [w](const QList<QUrl>& kept) {
        if (kept.isEmpty())
            return;
        w->setWindowTitle(escapedWindowTitle(windowTitle(kept)));
        w->setWindowFilePath(QFile::decodeName(localPath(kept.first())));
    });

    const QList<QUrl> urls = pendingURLs;
    const bool skip = pendingSkipTimer;
    const std::optional<QUrl> countdownApp = std::exchange(pendingCountdownApp, std::nullopt);
    pendingURLs.clear();
    pendingSkipTimer = false;
    // Filled, sized for what it shows and placed before it is first shown: the
    // window appears once, whole and in its place, instead of as an empty frame
    // that grows and moves once the files are in.
    showFiles(urls, skip, countdownApp);
    controller->fitWindowToScreen();

    showInOneFrame(w);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window && event->type() == QEvent::Paint) {
        // The window system is handed the icon in every size the theme has (eight
        // pictures and the SVG where the program is installed), each drawn first:
        // the first frame does not wait for that, the title bar takes it at the next.
        window->removeEventFilter(this);
        atNextFrame(window, [w = window] { w->setWindowIcon(programIcon()); });
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::showFiles(const QList<QUrl>& urls, bool skipTimer,
                            const std::optional<QUrl>& countdownApp) {
    if (urls.isEmpty())
        return;
    if (window) {
        window->setWindowTitle(escapedWindowTitle(windowTitle(urls)));
        window->setWindowFilePath(QFile::decodeName(localPath(urls.first())));
    }
    // Whether the chooser is the default, which application counts down and
    // what the check box says all ask the registry about the same type.
    const RegistryReadScope readings;
    const bool openAsContext = computeIsOpenAsContext(urls.first());
    if (mainViewController) {
        mainViewController->configure(urls, openAsContext, skipTimer, countdownApp);
        mainViewController->showFiles();
    }
}

} // namespace marvoline
