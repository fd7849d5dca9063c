#pragma once

#include "platform/NotificationCenter.h"
#include "platform/ReminderStore.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

namespace marvoline {

// The notification centre of the freedesktop desktop. Requests go into the
// reminder store, and the reminder agent (a process of its own, started here
// when a request is added) shows them through org.freedesktop.Notifications
// when they are due, after this process has ended.
//
// Authorization is granted when a notification service is on the bus (running
// or activatable) and the store can be written. No call waits for the bus.
class DbusNotificationCenter : public QObject, public NotificationCenter {
    Q_OBJECT

public:
    static constexpr char notificationsService[] = "org.freedesktop.Notifications";

    // agentCommand is the program and arguments that start the reminder agent;
    // empty: no agent is started.
    DbusNotificationCenter(const QDBusConnection& connection, ReminderStore store,
                           QStringList agentCommand, QObject* parent = nullptr);

    // The session bus, the user's store, and this program as the agent.
    static DbusNotificationCenter* createStandard(QObject* parent = nullptr);

    void requestAuthorization(AuthorizationHandler handler) override;
    // Stores the requests on the preferences writer thread, after the writes
    // asked for before, and then starts the agent.
    void add(const QList<NotificationRequest>& requests, AddHandler done) override;
    // The same, made at once on the calling thread: it may wait for the
    // store's lock.
    bool addNow(const QList<NotificationRequest>& requests);
    void removePendingRequests(const QStringList& identifiers) override;

    const ReminderStore& store() const { return m_store; }

    // Starts the agent detached, with its streams on the null device and the
    // root folder as its working folder; false when it could not be started.
    static bool startAgent(const QStringList& agentCommand);

private:
    void askBus(const QString& method, const QVariantList& arguments,
                std::function<void(const QVariant& answer)> done);
    static bool addToStore(const ReminderStore& store, const QStringList& agentCommand,
                           const QList<NotificationRequest>& requests);

    QDBusConnection m_connection;
    ReminderStore m_store;
    QStringList m_agentCommand;
};

} // namespace marvoline
