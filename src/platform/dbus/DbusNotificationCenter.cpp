#include "platform/dbus/DbusNotificationCenter.h"

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

bool DbusNotificationCenter::add(const NotificationRequest& request) {
    StoredReminder reminder;
    reminder.identifier = request.identifier;
    reminder.title = request.content.title;
    reminder.body = request.content.body;
    reminder.userInfo = request.content.userInfo;
    reminder.due = request.trigger.dueTime(QDateTime::currentDateTimeUtc());
    if (!m_store.add(reminder)) {
        qCWarning(lcNotifications) << "could not write the reminder to" << m_store.filePath();
        return false;
    }
    if (!startAgent()) {
        // Nothing would show it before the next login: do not keep it.
        m_store.remove(reminder.identifier);
        return false;
    }
    return true;
}

void DbusNotificationCenter::removePendingRequests(const QStringList& identifiers) {
    for (const QString& identifier : identifiers)
        m_store.remove(identifier);
}

bool DbusNotificationCenter::startAgent() {
    if (m_agentCommand.isEmpty())
        return true;
    // A running agent takes the new reminder when the new one asks it to
    // reload, and the new one ends; otherwise the new one is the agent.
    QProcess agent;
    agent.setProgram(m_agentCommand.first());
    agent.setArguments(m_agentCommand.mid(1));
    agent.setStandardInputFile(QProcess::nullDevice());
    agent.setStandardOutputFile(QProcess::nullDevice());
    agent.setStandardErrorFile(QProcess::nullDevice());
    // Not the chooser's folder: the agent may outlive a removable disk's mount.
    agent.setWorkingDirectory(QDir::rootPath());
    if (agent.startDetached())
        return true;
    qCWarning(lcNotifications) << "could not start the reminder agent" << m_agentCommand;
    return false;
}

} // namespace marvoline
