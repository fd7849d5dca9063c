#pragma once

#include "platform/dbus/AppChooserAnswer.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <deque>
#include <memory>

class QDBusServiceWatcher;

namespace marvoline {

class PortalRequest;

// One request of the desktop portal for the user's choice of application.
struct ChooserRequest {
    QString handle; // the request's object path, also its identity
    QString appId;  // the asking application's ID; empty for one outside a sandbox
    QString parentWindow;
    QStringList choices; // desktop file IDs without ".desktop", the portal's order
    QVariantMap options; // "last_choice", "content_type", "uri", "filename", ...
};

// The program's org.freedesktop.impl.portal.AppChooser object: what
// xdg-desktop-portal calls when an application asks it to open a file or URI
// and the user has to choose the application.
//
// Requests are shown one at a time, in the order they came: requestStarted
// names the one to show now, and the others wait. Each is answered exactly
// once: by answer() for the one shown, with Response::Closed when the portal
// closes it (its Request object's Close()) or when the caller (the portal)
// leaves the bus. The reply is held back (a delayed D-Bus reply) while the
// user chooses, so the event loop keeps running.
class PortalAppChooser : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.AppChooser")
    Q_PROPERTY(uint version READ version SCRIPTABLE true)

public:
    static constexpr char serviceName[] = "org.freedesktop.impl.portal.desktop.marvoline";
    static constexpr char objectPath[] = "/org/freedesktop/portal/desktop";
    static constexpr char interfaceName[] = "org.freedesktop.impl.portal.AppChooser";

    explicit PortalAppChooser(QDBusConnection connection, QObject* parent = nullptr);
    // Requests still open are answered Response::Closed.
    ~PortalAppChooser() override;

    // Exports the object at objectPath, then takes serviceName unless
    // serviceName is empty. False when either fails (another backend runs).
    bool registerService(const QString& name = QString::fromLatin1(serviceName));

    uint version() const { return 2; }

    // The request on show; null when none is.
    const ChooserRequest* current() const;
    // Requests open, the one on show included.
    int openCount() const { return int(m_open.size()); }

    // Answers the request on show; the next one starts from the event loop.
    // Nothing happens when no request is on show.
    void answer(portal::Response response, const QString& chosenDesktopFileId = {},
                const QString& activationToken = {});

public Q_SLOTS:
    Q_SCRIPTABLE void ChooseApplication(const QDBusObjectPath& handle, const QString& app_id,
                                        const QString& parent_window, const QStringList& choices,
                                        const QVariantMap& options, uint& response,
                                        QVariantMap& results);
    Q_SCRIPTABLE void UpdateChoices(const QDBusObjectPath& handle, const QStringList& choices);

Q_SIGNALS:
    // Show the request (current() names it) until answer() or requestEnded.
    void requestStarted();
    // The request on show has new choices (current() has them).
    void choicesUpdated();
    // The request on show was closed without the user: take it off the screen.
    void requestEnded();
    // No request is open any more.
    void allAnswered();

private:
    struct Open;
    void reply(Open& open, portal::Response response, const QVariantMap& results);
    // Closes the open request with the handle (answered Response::Closed).
    void close(const QString& handle);
    void callerVanished(const QString& name);
    void startNextSoon();
    void startNext();

    QDBusConnection m_connection;
    QDBusServiceWatcher* m_callers = nullptr;
    std::deque<std::unique_ptr<Open>> m_open; // the first is on show once started
    bool m_showing = false;
    bool m_startQueued = false;
};

} // namespace marvoline
