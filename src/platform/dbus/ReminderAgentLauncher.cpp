#include "platform/dbus/ReminderAgentLauncher.h"

#include "platform/dbus/DbusNotificationCenter.h"
#include "platform/dbus/ReminderAgent.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <thread>

namespace marvoline {

namespace {

void startAgentIfNeeded(const ReminderStore& store, const QStringList& agentCommand) {
    // The store may sit behind a slow disk or a foreign lock. A plain thread,
    // not the pool, which the application waits for when it ends.
    std::thread([store, agentCommand] {
        if (store.reminders().isEmpty())
            return;
        DbusNotificationCenter::startAgent(agentCommand);
    }).detach();
}

} // namespace

void ensureReminderAgent(const QDBusConnection& connection, const ReminderStore& store,
                         const QStringList& agentCommand, QObject* context) {
    if (!connection.isConnected() || agentCommand.isEmpty())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << QString::fromLatin1(ReminderAgent::busName);
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [store, agentCommand](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         const QDBusPendingReply<bool> reply = *w;
                         if (!reply.isError() && !reply.value())
                             startAgentIfNeeded(store, agentCommand);
                     });
}

} // namespace marvoline
