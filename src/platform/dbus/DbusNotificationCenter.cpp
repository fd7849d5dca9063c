#include "platform/dbus/DbusNotificationCenter.h"

#include "platform/PreferencesStore.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QTimer>

namespace marvoline {

namespace {

Q_LOGGING_CATEGORY(lcNotifications, "marvoline.notifications", QtWarningMsg)

} // namespace

DbusNotificationCenter::DbusNotificationCenter(const QDBusConnection& connection,
                                               ReminderStore store, QStringList agentCommand,
                                               QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_store(std::move(store))
    , m_agentCommand(std::move(agentCommand)) {}

DbusNotificationCenter* DbusNotificationCenter::createStandard(QObject* parent) {
    return new DbusNotificationCenter(
        QDBusConnection::sessionBus(), ReminderStore::standard(),
        {QCoreApplication::applicationFilePath(), QStringLiteral("--reminder-agent")}, parent);
}

void DbusNotificationCenter::askBus(const QString& method, const QVariantList& arguments,
                                    std::function<void(const QVariant&)> done) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                done(reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                         ? reply.arguments().first()
                         : QVariant());
            });
}

void DbusNotificationCenter::requestAuthorization(AuthorizationHandler handler) {
    if (!m_connection.isConnected() || !m_store.isWritable()) {
        qCWarning(lcNotifications)
            << "reminders refused:"
            << (m_connection.isConnected() ? "store not writable" : "no session bus");
        QTimer::singleShot(0, this, [handler = std::move(handler)] { handler(false); });
        return;
    }
    const QString service = QString::fromLatin1(notificationsService);
    askBus(QStringLiteral("NameHasOwner"), {service},
           [this, service, handler = std::move(handler)](const QVariant& owned) {
               if (owned.toBool()) {
                   handler(true);
                   return;
               }
               askBus(QStringLiteral("ListActivatableNames"), {},
                      [service, handler](const QVariant& names) {
                          const bool activatable = names.toStringList().contains(service);
                          if (!activatable)
                              qCWarning(lcNotifications)
                                  << "reminders refused: no notification service";
                          handler(activatable);
                      });
           });
}

void DbusNotificationCenter::add(const QList<NotificationRequest>& requests, AddHandler done) {
    // The store may be locked by another process for seconds: never waited
    // for here.
    PreferencesStore::runInBackground([store = m_store, command = m_agentCommand,
                                       requests] { return addToStore(store, command, requests); },
                                      this, std::move(done));
}

bool DbusNotificationCenter::addNow(const QList<NotificationRequest>& requests) {
    return addToStore(m_store, m_agentCommand, requests);
}

bool DbusNotificationCenter::addToStore(const ReminderStore& store, const QStringList& agentCommand,
                                        const QList<NotificationRequest>& requests) {
    QList<StoredReminder> reminders;
    reminders.reserve(requests.size());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const NotificationRequest& request : requests) {
        StoredReminder reminder;
        reminder.identifier = request.identifier;
        reminder.title = request.content.title;
        reminder.body = request.content.body;
        reminder.userInfo = request.content.userInfo;
        reminder.due = request.trigger.dueTime(now);
        reminders.append(reminder);
    }
    ReminderStore writable = store;
    if (!writable.add(reminders)) {
        qCWarning(lcNotifications) << "could not write the reminders to" << store.filePath();
        return false;
    }
    if (!startAgent(agentCommand)) {
        // Nothing would show them before the next login: do not keep them.
        QStringList identifiers;
        for (const StoredReminder& reminder : reminders)
            identifiers.append(reminder.identifier);
        writable.remove(identifiers);
        return false;
    }
    return true;
}

void DbusNotificationCenter::removePendingRequests(const QStringList& identifiers) {
    PreferencesStore::runInBackground(
        [store = m_store, identifiers]() mutable { return store.remove(identifiers); });
}

bool DbusNotificationCenter::startAgent(const QStringList& agentCommand) {
    if (agentCommand.isEmpty())
        return true;
    // A running agent takes the new reminder when the new one asks it to
    // reload, and the new one ends; otherwise the new one is the agent.
    QProcess agent;
    agent.setProgram(agentCommand.first());
    agent.setArguments(agentCommand.mid(1));
    agent.setStandardInputFile(QProcess::nullDevice());
    agent.setStandardOutputFile(QProcess::nullDevice());
    agent.setStandardErrorFile(QProcess::nullDevice());
    // Not the chooser's folder: the agent may outlive a removable disk's mount.
    agent.setWorkingDirectory(QDir::rootPath());
    if (agent.startDetached())
        return true;
    qCWarning(lcNotifications) << "could not start the reminder agent" << agentCommand;
    return false;
}

} // namespace marvoline
