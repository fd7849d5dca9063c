#include "platform/dbus/ReminderAgent.h"

#include "platform/FilePaths.h"
#include "platform/NotificationCenter.h"
#include "platform/dbus/ApplicationService.h"
#include "platform/dbus/SingleInstance.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>

namespace marvoline {

namespace {

Q_LOGGING_CATEGORY(lcAgent, "marvoline.reminders", QtWarningMsg)

const QString notificationsService = QStringLiteral("org.freedesktop.Notifications");
const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString desktopEntry = QStringLiteral("org.marvoline.Marvoline");
const QString defaultAction = QStringLiteral("default");

// org.freedesktop.DBus.RequestName answers.
constexpr uint primaryOwner = 1;
constexpr uint inQueue = 2;
constexpr uint alreadyOwner = 4;
// Notify's expire_timeout: shown until the user answers or dismisses it.
constexpr qint32 neverExpires = 0;

QByteArray pathBytes(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    if (value.typeId() == QMetaType::QString)
        return value.toString().toUtf8();
    return {};
}

} // namespace

ReminderAgent::ReminderAgent(const QDBusConnection& connection, ReminderStore store,
                             QStringList chooserCommand, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_store(std::move(store))
    , m_chooserCommand(std::move(chooserCommand)) {
    m_wakeUp.setSingleShot(true);
    connect(&m_wakeUp, &QTimer::timeout, this, &ReminderAgent::check);
}

ReminderAgent::~ReminderAgent() {
    if (m_exported)
        m_connection.unregisterObject(QString::fromLatin1(objectPath));
}

QStringList ReminderAgent::responseArguments(const QVariantMap& userInfo) {
    const QByteArray path = pathBytes(userInfo.value(reminderFilePathKey));
    if (path.isEmpty())
        return {};
    // A file URI keeps every byte of the name in ASCII.
    return {QStringLiteral("--reminder-response"),
            QString::fromLatin1(fileUrlFromPath(path).toEncoded())};
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
    if (answer == primaryOwner || answer == alreadyOwner) {
        run();
        return;
    }
    if (answer != inQueue) {
        finish();
        return;
    }
    // Another agent runs: it takes the new reminders, unless it is finishing,
    // in which case this one gets the name once it has gone.
    QDBusMessage reload = QDBusMessage::createMethodCall(
        QString::fromLatin1(busName), QString::fromLatin1(objectPath),
        QStringLiteral("org.marvoline.Marvoline.ReminderAgent"), QStringLiteral("Reload"));
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

    m_connection.connect(notificationsService, notificationsPath, notificationsService,
                         QStringLiteral("ActionInvoked"), this,
                         SLOT(onActionInvoked(uint, QString)));
    m_connection.connect(notificationsService, notificationsPath, notificationsService,
                         QStringLiteral("NotificationClosed"), this,
                         SLOT(onNotificationClosed(uint, uint)));
    // A notification server that goes away takes what it showed along:
    // show those reminders again through the next one.
    auto* serverWatcher = new QDBusServiceWatcher(
        notificationsService, m_connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(serverWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        m_shown.clear();
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
    QSet<QString> shown;
    for (const QString& identifier : std::as_const(m_shown))
        shown.insert(identifier);

    std::optional<QDateTime> nextDue;
    for (const StoredReminder& reminder : reminders) {
        if (shown.contains(reminder.identifier) || m_posting.contains(reminder.identifier))
            continue;
        if (reminder.due <= now)
            post(reminder);
        else if (!nextDue)
            nextDue = reminder.due; // the list is soonest first
    }

    if (reminders.isEmpty() && m_shown.isEmpty() && m_posting.isEmpty() &&
        m_handOversInFlight == 0) {
        finish();
        return;
    }
    std::chrono::milliseconds sleep = wallClockCheck;
    if (nextDue)
        sleep = std::min(sleep, std::chrono::milliseconds(now.msecsTo(*nextDue)));
    m_wakeUp.start(std::max(sleep, std::chrono::milliseconds(0)));
}

void ReminderAgent::post(const StoredReminder& reminder) {
    m_posting.insert(reminder.identifier);
    QDBusMessage notify = notificationsCall(QStringLiteral("Notify"));
    //% "Show"
    const QStringList actions{defaultAction, qtTrId("ui.later.notificationShow")};
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry}};
    notify << QStringLiteral("Marvoline") << 0u << QString() << reminder.title
           << (m_bodyMarkup ? reminder.body.toHtmlEscaped() : reminder.body) << actions << hints
           << neverExpires;
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(notify), this);
    const QString identifier = reminder.identifier;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                m_posting.remove(identifier);
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    // Tried again at the next wake-up.
                    qCWarning(lcAgent) << "could not show a reminder:" << reply.error().message();
                    return;
                }
                m_shown.insert(reply.value(), identifier);
            });
}

void ReminderAgent::onActionInvoked(uint id, const QString& actionKey) {
    Q_UNUSED(actionKey) // the only action is the default one
    const auto it = m_shown.find(id);
    if (it == m_shown.end())
        return;
    const QString identifier = it.value();
    m_shown.erase(it);
    if (const std::optional<StoredReminder> reminder = m_store.reminder(identifier))
        handOver(reminder->userInfo);
    m_store.remove(identifier);
    // Servers differ in whether a used notification stays on screen.
    QDBusMessage close = notificationsCall(QStringLiteral("CloseNotification"));
    close << id;
    m_connection.asyncCall(close);
    check();
}

void ReminderAgent::onNotificationClosed(uint id, uint reason) {
    Q_UNUSED(reason) // dismissed, expired or closed: the reminder has been seen
    const auto it = m_shown.find(id);
    if (it == m_shown.end())
        return;
    m_store.remove(it.value());
    m_shown.erase(it);
    check();
}

void ReminderAgent::handOver(const QVariantMap& userInfo) {
    ++m_handOversInFlight;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(SingleInstance::busName),
        QString::fromLatin1(ApplicationService::objectPath),
        QString::fromLatin1(ApplicationService::interfaceName), QStringLiteral("ActivateAction"));
    call << QString::fromLatin1(ApplicationService::reminderResponseAction)
         << QVariantList{QVariant::fromValue(userInfo)} << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, userInfo](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                // No chooser runs, or it is closing: start one with the answer.
                if (w->isError())
                    startChooser(userInfo);
                --m_handOversInFlight;
                check();
            });
}

void ReminderAgent::startChooser(const QVariantMap& userInfo) {
    const QStringList arguments = responseArguments(userInfo);
    if (m_chooserCommand.isEmpty() || arguments.isEmpty())
        return;
    QProcess chooser;
    chooser.setProgram(m_chooserCommand.first());
    chooser.setArguments(m_chooserCommand.mid(1) + arguments);
    chooser.setStandardInputFile(QProcess::nullDevice());
    chooser.setStandardOutputFile(QProcess::nullDevice());
    chooser.setStandardErrorFile(QProcess::nullDevice());
    chooser.setWorkingDirectory(QDir::homePath());
    if (!chooser.startDetached())
        qCWarning(lcAgent) << "could not start the chooser" << m_chooserCommand;
}

void ReminderAgent::finish() {
    if (m_finishing)
        return;
    m_finishing = true;
    m_wakeUp.stop();
    Q_EMIT finished();
}

} // namespace marvoline
