#include "platform/dbus/ReminderAgent.h"

#include "platform/FilePaths.h"
#include "platform/NotificationCenter.h"
#include "platform/dbus/ApplicationService.h"
#include "platform/dbus/RequestName.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QLoggingCategory>

namespace marvoline {

namespace {

Q_LOGGING_CATEGORY(lcAgent, "marvoline.reminders", QtWarningMsg)

const QString notificationsService = QStringLiteral("org.freedesktop.Notifications");
const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString desktopEntry = QStringLiteral("org.marvoline.Marvoline");
const QString defaultAction = QStringLiteral("default");

// Notify's expire_timeout: shown until the user answers or dismisses it.
constexpr qint32 neverExpires = 0;

// The file's name and its folder, for display only.
QString displayName(const QByteArray& path) {
    return QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
}
QString displayFolder(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QStringLiteral("/") : QFile::decodeName(path.left(slash));
}

} // namespace

ReminderAgent::ReminderAgent(const QDBusConnection& connection, ReminderStore store,
                             QStringList chooserCommand, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_store(std::move(store))
    , m_handOver(connection, std::move(chooserCommand)) {
    connect(&m_handOver, &ReminderHandOver::handedOver, this, &ReminderAgent::handedOver);
    connect(&m_handOver, &ReminderHandOver::failed, this, &ReminderAgent::handOverFailed);
    m_wakeUp.setSingleShot(true);
    connect(&m_wakeUp, &QTimer::timeout, this, &ReminderAgent::check);
}

ReminderAgent::~ReminderAgent() {
    if (m_exported)
        m_connection.unregisterObject(QString::fromLatin1(objectPath));
}

void ReminderAgent::start() {
    if (!m_connection.isConnected()) {
        QTimer::singleShot(0, this, &ReminderAgent::finish);
        return;
    }
    m_exported = m_connection.registerObject(QString::fromLatin1(objectPath), this,
                                             QDBusConnection::ExportScriptableSlots);
    m_connection.connect(QStringLiteral("org.freedesktop.DBus"),
                         QStringLiteral("/org/freedesktop/DBus"),
                         QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameAcquired"),
                         this, SLOT(onNameAcquired(QString)));

    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    // Queued: when the agent that has the name leaves, this one gets it.
    request << QString::fromLatin1(busName) << 0u;
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(request), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        onNameRequestAnswered(reply.isError() ? 0 : reply.value());
    });
}

void ReminderAgent::onNameRequestAnswered(uint answer) {
    if (answer == requestname::primaryOwner || answer == requestname::alreadyOwner) {
        run();
        return;
    }
    if (answer != requestname::inQueue) {
        finish();
        return;
    }
    // Another agent runs: it takes the new reminders, unless it is finishing,
    // in which case this one gets the name once it has gone.
    QDBusMessage reload = QDBusMessage::createMethodCall(
        QString::fromLatin1(busName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName), QStringLiteral("Reload"));
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(reload), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (!w->isError() && !m_running)
            finish();
    });
}

void ReminderAgent::onNameAcquired(const QString& name) {
    if (name == QLatin1String(busName))
        run();
}

void ReminderAgent::run() {
    if (m_running || m_finishing)
        return;
    m_running = true;

    const auto listen = [this](const char* signal, const char* slot) {
        m_connection.connect(notificationsService, notificationsPath, notificationsService,
                             QString::fromLatin1(signal), this, slot);
    };
    // Servers that know it send the activation token just before the answer.
    listen("ActivationToken", SLOT(onActivationToken(uint, QString)));
    listen("ActionInvoked", SLOT(onActionInvoked(uint, QString)));
    listen("NotificationClosed", SLOT(onNotificationClosed(uint, uint)));
    // A notification server that goes away takes what it showed along:
    // show those reminders again through the next one.
    auto* serverWatcher = new QDBusServiceWatcher(
        notificationsService, m_connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(serverWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        m_shown.clear();
        m_tokens.clear();
        m_posted.clear();
        check();
    });

    auto* watcher = new QDBusPendingCallWatcher(
        m_connection.asyncCall(notificationsCall(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        m_bodyMarkup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        check();
    });
}

void ReminderAgent::Reload() {
    if (m_finishing) {
        if (calledFromDBus())
            sendErrorReply(QString::fromLatin1(ApplicationService::closingError),
                           QStringLiteral("The reminder agent is finishing"));
        return;
    }
    if (m_running)
        check();
}

void ReminderAgent::Taken(const QString& identifier) {
    m_handOver.confirm(identifier);
}

QDBusMessage ReminderAgent::notificationsCall(const QString& method) const {
    return QDBusMessage::createMethodCall(notificationsService, notificationsPath,
                                          notificationsService, method);
}

void ReminderAgent::check() {
    if (!m_running || m_finishing)
        return;
    if (!m_connection.isConnected()) {
        finish();
        return;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QList<StoredReminder> reminders = m_store.reminders();
    // Reminders removed by someone else are forgotten, also on screen: an
    // answer to them has nothing left to show.
    QSet<QString> stored;
    for (const StoredReminder& reminder : reminders)
        stored.insert(reminder.identifier);
    m_posted.intersect(stored);
    m_shown.removeIf([&stored](const auto& shown) { return !stored.contains(shown.value()); });

    std::optional<QDateTime> nextDue;
    for (const StoredReminder& reminder : reminders) {
        if (m_posted.contains(reminder.identifier) || m_handOver.isPending(reminder.identifier))
            continue;
        if (reminder.due <= now)
            post(reminder);
        else if (!nextDue)
            nextDue = reminder.due; // the list is soonest first
    }

    if (reminders.isEmpty() && m_shown.isEmpty() && m_handOver.isEmpty()) {
        finish();
        return;
    }
    std::chrono::milliseconds sleep = wallClockCheck;
    if (nextDue)
        sleep = std::min(sleep, std::chrono::milliseconds(now.msecsTo(*nextDue)));
    m_wakeUp.start(std::max(sleep, std::chrono::milliseconds(0)));
}

void ReminderAgent::post(const StoredReminder& reminder) {
    m_posted.insert(reminder.identifier);
    const QByteArray path = reminderPathBytes(reminder.userInfo.value(reminderFilePathKey));
    const QString name = path.isEmpty() ? reminder.body : displayName(path);
    const QString folder = path.isEmpty() ? QString() : displayFolder(path);

    QDBusMessage notify = notificationsCall(QStringLiteral("Notify"));
    // Servers that close a notification on a click show the other actions as
    // buttons: the reminder is not lost to a click.
    //% "Show"
    const QString show = qtTrId("ui.later.notificationShow");
    //% "Open"
    const QString open = qtTrId("ui.reminder.open");
    //% "Remind me in 10 minutes"
    const QString later = qtTrId("ui.reminder.in10min");
    const QStringList actions{defaultAction,
                              show,
                              QString::fromLatin1(openAction),
                              open,
                              QString::fromLatin1(remindLaterAction),
                              later};
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry}};
    //% "Reminder: %1"
    const QString summary = qtTrId("ui.reminder.title").arg(name);
    notify << QStringLiteral("Marvoline") << 0u << desktopEntry << summary
           << (m_bodyMarkup ? folder.toHtmlEscaped() : folder) << actions << hints << neverExpires;
    // Some servers answer late: the reminder is on screen all the same, and an
    // answer that comes after the usual 25 seconds still tells its ID.
    const auto timeout = std::chrono::milliseconds(notifyAnswerTime);
    auto* watcher =
        new QDBusPendingCallWatcher(m_connection.asyncCall(notify, int(timeout.count())), this);
    const QString identifier = reminder.identifier;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (!m_posted.contains(identifier))
                    return; // the server restarted meanwhile, or it was answered
                if (!reply.isError()) {
                    m_shown.insert(reply.value(), identifier);
                    return;
                }
                const QDBusError::ErrorType error = reply.error().type();
                qCWarning(lcAgent) << "could not show a reminder:" << reply.error().message();
                // No answer at all: it may well be on screen, and is not posted
                // again until the server restarts. Any other error: tried again
                // at the next wake-up.
                if (error != QDBusError::NoReply && error != QDBusError::Timeout &&
                    error != QDBusError::TimedOut)
                    m_posted.remove(identifier);
            });
}

void ReminderAgent::onActivationToken(uint id, const QString& token) {
    if (m_shown.contains(id))
        m_tokens.insert(id, token);
}

void ReminderAgent::onActionInvoked(uint id, const QString& actionKey) {
    const auto it = m_shown.find(id);
    if (it == m_shown.end())
        return;
    const QString identifier = it.value();
    m_shown.erase(it);
    const QString token = m_tokens.take(id);
    // Servers differ in whether a used notification stays on screen.
    QDBusMessage close = notificationsCall(QStringLiteral("CloseNotification"));
    close << id;
    m_connection.asyncCall(close);

    if (actionKey == QLatin1String(remindLaterAction))
        remindLater(identifier);
    else
        handOver(identifier, token); // the default action, Open
    check();
}

void ReminderAgent::onNotificationClosed(uint id, uint reason) {
    Q_UNUSED(reason) // dismissed, expired or closed: the reminder has been seen
    const auto it = m_shown.find(id);
    if (it == m_shown.end())
        return;
    const QString identifier = it.value();
    m_shown.erase(it);
    m_tokens.remove(id);
    m_store.remove(identifier);
    m_posted.remove(identifier);
    check();
}

void ReminderAgent::remindLater(const QString& identifier) {
    m_posted.remove(identifier);
    std::optional<StoredReminder> reminder = m_store.reminder(identifier);
    if (!reminder)
        return;
    reminder->due = QDateTime::currentDateTimeUtc().addSecs(
        std::chrono::duration_cast<std::chrono::seconds>(remindLaterDelay).count());
    // The same identifier: the entry is replaced in one write.
    if (!m_store.add(*reminder))
        qCWarning(lcAgent) << "could not put a reminder off; it is shown again now";
}

void ReminderAgent::handOver(const QString& identifier, const QString& activationToken) {
    const std::optional<StoredReminder> reminder = m_store.reminder(identifier);
    if (!reminder) {
        m_posted.remove(identifier);
        return;
    }
    // Kept in the store until a chooser has the file.
    m_handOver.start(identifier, reminder->userInfo, activationToken);
}

void ReminderAgent::handedOver(const QString& identifier) {
    m_posted.remove(identifier);
    m_store.remove(identifier);
    check();
}

void ReminderAgent::handOverFailed(const QString& identifier) {
    // Shown again.
    m_posted.remove(identifier);
    check();
}

void ReminderAgent::finish() {
    if (m_finishing)
        return;
    m_finishing = true;
    m_wakeUp.stop();
    Q_EMIT finished();
}

} // namespace marvoline
