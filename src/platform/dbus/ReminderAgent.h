#pragma once

#include "platform/ReminderStore.h"
#include "platform/dbus/ReminderHandOver.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <chrono>

namespace marvoline {

// The reminder agent: a process of its own that shows the stored reminders
// through org.freedesktop.Notifications when they are due, and hands the
// user's answer to the chooser: over D-Bus to a running chooser, otherwise to
// a new chooser process started with the answer. A reminder leaves the store
// once a chooser has taken its file, or once it has been dismissed; when the
// hand-over fails it is shown again. The agent finishes when the store is
// empty and nothing is on screen.
//
// Each due reminder is posted once to a notification server: a late answer to
// Notify, or a server that gives every notification the same ID, does not
// bring it back; a server that restarts gets it again.
//
// One agent per session: it owns busName. A second agent asks the first to
// reload the store (Reload) and finishes; if the first is on its way out, the
// second waits in the bus's queue and takes over. Every bus call is
// asynchronous.
class ReminderAgent : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.marvoline.Marvoline.ReminderAgent")

public:
    static constexpr char busName[] = "org.marvoline.Marvoline.ReminderAgent";
    static constexpr char objectPath[] = "/org/marvoline/Marvoline/ReminderAgent";
    static constexpr char interfaceName[] = "org.marvoline.Marvoline.ReminderAgent";
    // Timers stop while the machine sleeps: the wall clock is looked at again
    // at least this often.
    static constexpr std::chrono::seconds wallClockCheck{30};
    // How long Notify may take to answer before the reminder counts as shown
    // with an ID the agent will never learn.
    static constexpr std::chrono::minutes notifyAnswerTime{5};
    // The notification's actions besides the default one ("default").
    static constexpr char openAction[] = "open";
    static constexpr char remindLaterAction[] = "remind-10min";
    static constexpr std::chrono::minutes remindLaterDelay{10};

    // chooserCommand starts a chooser (see ReminderHandOver).
    ReminderAgent(const QDBusConnection& connection, ReminderStore store,
                  QStringList chooserCommand, QObject* parent = nullptr);
    ~ReminderAgent() override;

    // Claims the agent's name; finished() follows when there is nothing (left)
    // to do for this process.
    void start();

public Q_SLOTS:
    // Reads the store again (a reminder was added). Fails once the agent is
    // finishing, so that the caller takes over instead.
    Q_SCRIPTABLE void Reload();
    // A chooser has taken the file of the reminder it was started for.
    Q_SCRIPTABLE void Taken(const QString& identifier);

Q_SIGNALS:
    void finished();

private Q_SLOTS:
    void onNameAcquired(const QString& name);
    void onActivationToken(uint id, const QString& token);
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    void onNameRequestAnswered(uint answer);
    void run();
    void check();
    void post(const StoredReminder& reminder);
    void remindLater(const QString& identifier);
    void handOver(const QString& identifier, const QString& activationToken);
    void handedOver(const QString& identifier);
    void handOverFailed(const QString& identifier);
    void finish();
    QDBusMessage notificationsCall(const QString& method) const;

    QDBusConnection m_connection;
    ReminderStore m_store;
    ReminderHandOver m_handOver;
    QTimer m_wakeUp;
    // Notification ID -> reminder identifier; a server that reuses an ID
    // answers for the reminder it showed last.
    QHash<uint, QString> m_shown;
    // Notification ID -> the activation token the server sent before the answer.
    QHash<uint, QString> m_tokens;
    // Reminders posted to the notification server that runs now (Notify sent,
    // answered or not): not posted again until answered, dismissed or the
    // server restarts.
    QSet<QString> m_posted;
    bool m_bodyMarkup = false;
    bool m_running = false;
    bool m_finishing = false;
    bool m_exported = false;
};

} // namespace marvoline
