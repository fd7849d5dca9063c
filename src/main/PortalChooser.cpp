#include "main/PortalChooser.h"

#include "main/MainViewController.h"
#include "main/ScreenChoice.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Logging.h"
#include "platform/Platform.h"
#include "platform/dbus/AppChooserAnswer.h"
#include "platform/dbus/PortalAppChooser.h"
#include "views/NextFrame.h"
#include "views/SymbolIcons.h"

#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QVBoxLayout>
#include <QWidget>

namespace marvoline {

namespace {

// The applications installed under the choices' IDs, in the order to show;
// IDs without an installed entry are left out.
QList<QUrl> installedChoices(const ChooserRequest& request) {
    AppRegistry& registry = platform::registry();
    QList<QUrl> apps;
    for (const QString& id : portal::orderedChoices(request.choices, request.options)) {
        if (const std::optional<QUrl> app =
                registry.applicationForIdentifier(portal::desktopFileId(id)))
            apps.append(*app);
    }
    return apps;
}

// What the chooser shows: the request's file, or, when the portal names
// none, a location of the file's name that is no local file (no preview).
QUrl shownFile(const ChooserRequest& request) {
    if (const std::optional<QUrl> file = portal::requestedFile(request.options))
        return *file;
    QString name = request.options.value(QStringLiteral("filename")).toString();
    if (name.isEmpty())
        name = request.options.value(QStringLiteral("content_type")).toString();
    QUrl url;
    url.setScheme(QStringLiteral("portal-file"));
    url.setPath(name.isEmpty() ? QStringLiteral("file") : name);
    return url;
}

} // namespace

PortalChooser::PortalChooser(PortalAppChooser& service, QObject* parent)
    : QObject(parent)
    , m_service(service) {
    connect(&m_service, &PortalAppChooser::requestStarted, this, &PortalChooser::showCurrent);
    connect(&m_service, &PortalAppChooser::choicesUpdated, this, &PortalChooser::updateChoices);
    connect(&m_service, &PortalAppChooser::requestEnded, this, &PortalChooser::takeWindowDown);
}

PortalChooser::~PortalChooser() {
    delete m_window;
}

void PortalChooser::showCurrent() {
    const ChooserRequest* request = m_service.current();
    if (!request)
        return;
    takeWindowDown();
    qCDebug(lcMarvoline) << "portal request" << request->handle << "from" << request->appId
                         << "choices" << request->choices << "options" << request->options;
    m_offered = installedChoices(*request);
    const QUrl file = shownFile(*request);

    auto* w = new QWidget(nullptr, Qt::Window);
    w->setObjectName(QStringLiteral("chooserWindow"));
    w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->resize(520, 420);
    w->setMinimumSize(520, 300);
    w->setWindowTitle(
        displayFileName(file).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    // The title bar's icon is set at the frame after the first (see eventFilter).
    w->installEventFilter(this);
    centerOnScreenUnderPointer(w);

    auto* controller = new MainViewController;
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(controller);
    m_window = w;
    m_controller = controller;

    controller->setChoiceReceiver(this);
    controller->configure({file}, false, false);
    controller->showFiles();
    controller->fitWindowToScreen();
    showInOneFrame(w);
}

void PortalChooser::updateChoices() {
    const ChooserRequest* request = m_service.current();
    if (!request || !m_controller)
        return;
    m_offered = installedChoices(*request);
    m_controller->refreshOfferedApplications();
}

void PortalChooser::applicationChosen(const QUrl& appURL) {
    const std::optional<QString> id = platform::registry().bundleIdentifier(appURL);
    takeWindowDown();
    if (id)
        m_service.answer(portal::Response::Chosen, *id);
    else
        m_service.answer(portal::Response::Cancelled);
}

void PortalChooser::choiceCancelled() {
    takeWindowDown();
    m_service.answer(portal::Response::Cancelled);
}

void PortalChooser::takeWindowDown() {
    // The chooser keeps its receiver: having handed its choice over, it takes
    // no other way out while the window waits to be deleted, and the
    // countdown of one the portal closed must not run out meanwhile.
    if (m_controller)
        m_controller->pauseTimer();
    if (m_window) {
        m_window->removeEventFilter(this);
        m_window->hide();
        m_window->deleteLater();
    }
    m_window = nullptr;
    m_controller = nullptr;
}

bool PortalChooser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        if (event->type() == QEvent::Paint && !m_window->property("marvolinePainted").toBool()) {
            m_window->setProperty("marvolinePainted", true);
            // bench/portal_first_paint.py reads the time of the first frame here.
            qCDebug(lcMarvoline, "portal chooser painted at %lld ms",
                    QDateTime::currentMSecsSinceEpoch());
            // The title bar's icon, every size of it drawn, after the first frame.
            atNextFrame(m_window, [w = m_window.data()] { w->setWindowIcon(programIcon()); });
        } else if (event->type() == QEvent::Close && m_controller) {
            // The window's close button: the request is cancelled.
            event->ignore();
            m_controller->onCloseTapped();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace marvoline
