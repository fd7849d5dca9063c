#include "platform/dbus/SingleInstance.h"

#include "platform/dbus/ApplicationService.h"
#include "platform/dbus/RequestName.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <cstdio>

namespace marvoline {

SingleInstance::SingleInstance(ApplicationService& service, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_connection(QString()) {}

SingleInstance::~SingleInstance() {
    if (m_exported)
        m_connection.unregisterObject(QString::fromLatin1(ApplicationService::objectPath));
}

void SingleInstance::start() {
    start(QDBusConnection::sessionBus());
}

void SingleInstance::start(const QDBusConnection& connection) {
    if (m_started)
        return;
    m_started = true;
    m_connection = connection;

    if (!m_connection.isConnected()) {
        decide(Role::Standalone);
        return;
    }

    // The object is in place before the name is ours, so that nobody who sees
    // the name can reach a missing object.
    m_exported = m_connection.registerObject(QString::fromLatin1(ApplicationService::objectPath),
                                             &m_service, QDBusConnection::ExportScriptableSlots);
    if (!m_exported) {
        decide(Role::Standalone);
        return;
    }

    requestName(requestname::doNotQueue,
                [this](uint reply, bool failed) { onNameRequestFinished(reply, failed); });
}

void SingleInstance::requestName(uint flags,
                                 const std::function<void(uint reply, bool failed)>& answered) {
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << QString::fromLatin1(busName) << flags;
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(request), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [answered](QDBusPendingCallWatcher* w) {
                const QDBusPendingReply<uint> reply = *w;
                w->deleteLater();
                answered(reply.isError() ? 0 : reply.value(), reply.isError());
            });
}

void SingleInstance::claimAfterFallback() {
    if (m_role != Role::Secondary || m_claiming)
        return;
    m_claiming = true;
    const auto fail = [](const char* why) {
        std::fprintf(stderr,
                     "marvoline: this chooser cannot take the name %s (%s); "
                     "a later one will not find it\n",
                     busName, why);
    };
    m_exported = m_connection.registerObject(QString::fromLatin1(ApplicationService::objectPath),
                                             &m_service, QDBusConnection::ExportScriptableSlots);
    if (!m_exported) {
        fail("its object cannot be exported");
        return;
    }
    // Queued behind the chooser that still holds the name, the bus hands it
    // over when that one ends.
    auto* watcher = new QDBusServiceWatcher(QString::fromLatin1(busName), m_connection,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                onOwnerChanged(newOwner);
            });
    requestName(0, [this, fail](uint reply, bool failed) {
        if (failed || (reply != requestname::primaryOwner && reply != requestname::alreadyOwner &&
                       reply != requestname::inQueue)) {
            fail(failed ? "the bus refused the request" : "the name is taken");
            return;
        }
        if (reply != requestname::inQueue)
            onOwnerChanged(m_connection.baseService());
    });
}

void SingleInstance::onOwnerChanged(const QString& newOwner) {
    if (m_role == Role::Primary || newOwner != m_connection.baseService())
        return;
    m_role = Role::Primary;
    Q_EMIT becamePrimary();
}

void SingleInstance::onNameRequestFinished(uint reply, bool failed) {
    if (!failed && (reply == requestname::primaryOwner || reply == requestname::alreadyOwner)) {
        m_role = Role::Primary;
        Q_EMIT becamePrimary();
        return;
    }
    // Someone else answers to the name: nobody is to call this process.
    if (m_exported) {
        m_connection.unregisterObject(QString::fromLatin1(ApplicationService::objectPath));
        m_exported = false;
    }
    if (!failed && (reply == requestname::exists || reply == requestname::inQueue)) {
        m_role = Role::Secondary;
        Q_EMIT isSecondary();
        return;
    }
    m_role = Role::Standalone;
    Q_EMIT standalone();
}

void SingleInstance::release() {
    if (m_exported) {
        // Calls that arrive from now on get an error at once from the bus
        // thread, so their callers show their files themselves.
        m_connection.unregisterObject(QString::fromLatin1(ApplicationService::objectPath));
        m_exported = false;
    }
    if (m_role == Role::Primary || m_claiming) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReleaseName"));
        call << QString::fromLatin1(busName);
        // Sent now; the answer is of no interest.
        m_connection.send(call);
    }
    m_role = Role::Standalone;
}

void SingleInstance::decide(Role role) {
    // Announced from the event loop, as the bus's answers are.
    QTimer::singleShot(0, this, [this, role] {
        m_role = role;
        if (role == Role::Standalone)
            Q_EMIT standalone();
    });
}

void SingleInstance::forward(const QList<QUrl>& files, const QVariantMap& platformData) {
    if (m_role != Role::Secondary) {
        QTimer::singleShot(0, this, [this] { Q_EMIT forwarded(false); });
        return;
    }

    const QString service = QString::fromLatin1(busName);
    const QString path = QString::fromLatin1(ApplicationService::objectPath);
    const QString interface = QString::fromLatin1(ApplicationService::interfaceName);
    QDBusMessage call;
    if (files.isEmpty()) {
        call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Activate"));
        call << platformData;
    } else {
        QStringList uris;
        uris.reserve(files.size());
        for (const QUrl& file : files)
            uris.append(QString::fromLatin1(file.toEncoded()));
        call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Open"));
        call << uris << platformData;
    }
    sendToPrimary(call);
}

void SingleInstance::forwardAction(const QString& actionName, const QVariantList& parameter,
                                   const QVariantMap& platformData) {
    if (m_role != Role::Secondary) {
        QTimer::singleShot(0, this, [this] { Q_EMIT forwarded(false); });
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(busName), QString::fromLatin1(ApplicationService::objectPath),
        QString::fromLatin1(ApplicationService::interfaceName), QStringLiteral("ActivateAction"));
    call << actionName << parameter << platformData;
    sendToPrimary(call);
}

void SingleInstance::sendToPrimary(const QDBusMessage& call) {
    auto* watcher =
        new QDBusPendingCallWatcher(m_connection.asyncCall(call, forwardTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const bool ok = !w->isError();
        w->deleteLater();
        Q_EMIT forwarded(ok);
    });
}

} // namespace marvoline
