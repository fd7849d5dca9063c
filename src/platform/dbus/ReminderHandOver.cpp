#include "platform/dbus/ReminderHandOver.h"

#include "platform/FilePaths.h"
#include "platform/NotificationCenter.h"
#include "platform/ProcessExitWatch.h"
#include "platform/WindowActivation.h"
#include "platform/dbus/ApplicationService.h"
#include "platform/dbus/ReminderAgent.h"
#include "platform/dbus/SingleInstance.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QTimer>

namespace marvoline {

namespace {

Q_LOGGING_CATEGORY(lcHandOver, "marvoline.reminders", QtWarningMsg)

constexpr int reportTimeoutMs = 5000;

} // namespace

ReminderHandOver::ReminderHandOver(const QDBusConnection& connection, QStringList chooserCommand,
                                   QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_chooserCommand(std::move(chooserCommand)) {}

ReminderHandOver::~ReminderHandOver() = default;

QStringList ReminderHandOver::responseArguments(const QVariantMap& userInfo,
                                                const QString& identifier) {
    const QByteArray path = reminderPathBytes(userInfo.value(reminderFilePathKey));
    if (path.isEmpty() || path.contains('\0') || identifier.isEmpty())
        return {};
    // A file URI keeps every byte of the name in ASCII.
    return {QStringLiteral("--reminder-response"),
            QString::fromLatin1(fileUrlFromPath(path).toEncoded()), identifier};
}

void ReminderHandOver::reportTaken(const QDBusConnection& connection, const QString& identifier,
                                   QObject* context, std::function<void()> done) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(ReminderAgent::busName), QString::fromLatin1(ReminderAgent::objectPath),
        QString::fromLatin1(ReminderAgent::interfaceName), QStringLiteral("Taken"));
    call << identifier;
    auto* watcher =
        new QDBusPendingCallWatcher(connection.asyncCall(call, reportTimeoutMs), context);
    connect(watcher, &QDBusPendingCallWatcher::finished, context,
            [done = std::move(done)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (w->isError())
                    qCWarning(lcHandOver) << "the reminder agent did not hear that the file "
                                             "was taken:"
                                          << w->error().message();
                if (done)
                    done();
            });
}

void ReminderHandOver::start(const QString& identifier, const QVariantMap& userInfo,
                             const QString& activationToken) {
    m_pending.insert(identifier, nullptr);
    // The token is a startup ID on X11 and an xdg-activation token on Wayland;
    // the chooser uses whichever its window system takes.
    const WindowActivation activation{activationToken, activationToken};
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(SingleInstance::busName),
        QString::fromLatin1(ApplicationService::objectPath),
        QString::fromLatin1(ApplicationService::interfaceName), QStringLiteral("ActivateAction"));
    call << QString::fromLatin1(ApplicationService::reminderResponseAction)
         << QVariantList{QVariant::fromValue(userInfo)} << activation.platformData();
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier, userInfo, activationToken](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (!w->isError())
                    finish(identifier, true);
                else // no chooser runs, or it is closing: start one with the answer
                    startChooser(identifier, userInfo, activationToken);
            });
}

void ReminderHandOver::confirm(const QString& identifier) {
    if (m_pending.value(identifier))
        finish(identifier, true);
}

void ReminderHandOver::startChooser(const QString& identifier, const QVariantMap& userInfo,
                                    const QString& activationToken) {
    const QStringList arguments = responseArguments(userInfo, identifier);
    if (m_chooserCommand.isEmpty() || arguments.isEmpty()) {
        finish(identifier, false);
        return;
    }
    QProcess chooser;
    chooser.setProgram(m_chooserCommand.first());
    chooser.setArguments(m_chooserCommand.mid(1) + arguments);
    chooser.setStandardInputFile(QProcess::nullDevice());
    chooser.setStandardOutputFile(QProcess::nullDevice());
    chooser.setStandardErrorFile(QProcess::nullDevice());
    chooser.setWorkingDirectory(QDir::homePath());
    // What the notification server gave for this answer, and nothing that the
    // agent's own launcher once gave it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
    environment.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
    if (!activationToken.isEmpty()) {
        environment.insert(QStringLiteral("DESKTOP_STARTUP_ID"), activationToken);
        environment.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), activationToken);
    }
    chooser.setProcessEnvironment(environment);
    qint64 pid = 0;
    if (!chooser.startDetached(&pid)) {
        qCWarning(lcHandOver) << "could not start the chooser" << m_chooserCommand;
        finish(identifier, false);
        return;
    }

    // Kept until the chooser reports the file taken. A chooser that ends
    // without a word, or takes too long, has failed.
    auto watching = std::make_shared<QObject>();
    QObject* const owner = watching.get();
    auto* watch = new ProcessExitWatch(pid, owner);
    connect(watch, &ProcessExitWatch::exited, this, [this, identifier, owner] {
        QTimer::singleShot(lateReport, this, [this, identifier, owner] {
            if (m_pending.value(identifier).get() == owner)
                finish(identifier, false);
        });
    });
    auto* deadline = new QTimer(watching.get());
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, identifier] { finish(identifier, false); });
    deadline->start(chooserStartTime);
    m_pending.insert(identifier, std::move(watching));
}

void ReminderHandOver::finish(const QString& identifier, bool taken) {
    if (!m_pending.contains(identifier))
        return;
    // Not destroyed from within its own signal: the watch may be emitting.
    if (const std::shared_ptr<QObject> watching = m_pending.take(identifier))
        QTimer::singleShot(0, this, [watching] {});
    if (taken) {
        Q_EMIT handedOver(identifier);
    } else {
        qCWarning(lcHandOver) << "no chooser took the reminder" << identifier;
        Q_EMIT failed(identifier);
    }
}

} // namespace marvoline
