#pragma once

#include "platform/ReminderStore.h"

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
// once it has been answered or dismissed; the agent finishes when the store is
// empty and nothing is on screen.
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
    // Timers stop while the machine sleeps: the wall clock is looked at again
    // at least this often.
    static constexpr std::chrono::seconds wallClockCheck{30};

    // chooserCommand starts a chooser; the answer is appended as
    // "--reminder-response <file URI>".
    ReminderAgent(const QDBusConnection& connection, ReminderStore store,
                  QStringList chooserCommand, QObject* parent = nullptr);
    ~ReminderAgent() override;

    // Claims the agent's name; finished() follows when there is nothing (left)
    // to do for this process.
    void start();

    // The arguments that hand a reminder answer to a new chooser process.
    static QStringList responseArguments(const QVariantMap& userInfo);

public Q_SLOTS:
    // Reads the store again (a reminder was added). Fails once the agent is
    // finishing, so that the caller takes over instead.
    Q_SCRIPTABLE void Reload();

Q_SIGNALS:
    void finished();

private Q_SLOTS:
    void onNameAcquired(const QString& name);
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    void onNameRequestAnswered(uint answer);
    void run();
    void check();
    void post(const StoredReminder& reminder);
    void handOver(const QVariantMap& userInfo);
    void startChooser(const QVariantMap& userInfo);
    void finish();
    QDBusMessage notificationsCall(const QString& method) const;

    QDBusConnection m_connection;
    ReminderStore m_store;
    QStringList m_chooserCommand;
    QTimer m_wakeUp;
    QHash<uint, QString> m_shown; // notification id -> reminder identifier
    QSet<QString> m_posting;
    int m_handOversInFlight = 0;
    bool m_bodyMarkup = false;
    bool m_running = false;
    bool m_finishing = false;
    bool m_exported = false;
};

} // namespace marvoline
