#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>

namespace marvoline {

// Hands the answer to a reminder to the chooser, for the reminder agent: to
// the running chooser over D-Bus (org.freedesktop.Application.ActivateAction),
// otherwise to a new chooser process started with the answer, which reports
// back (reportTaken) once it has taken the file. The activation token the
// notification server gave for the answer goes along either way, so that the
// chooser's window may come to the front.
class ReminderHandOver : public QObject {
    Q_OBJECT

public:
    // A chooser started with an answer that neither reports the file taken
    // nor ends within this time is taken to have failed.
    static constexpr std::chrono::minutes chooserStartTime{2};
    // A chooser that has ended may have reported the file taken just before:
    // its message gets this long to arrive.
    static constexpr std::chrono::seconds lateReport{2};

    // chooserCommand starts a chooser; the answer is appended as
    // "--reminder-response <file URI> <reminder identifier>".
    ReminderHandOver(const QDBusConnection& connection, QStringList chooserCommand,
                     QObject* parent = nullptr);
    ~ReminderHandOver() override;

    // Starts handing the reminder's answer over; handedOver() or failed()
    // follows for the identifier, never from within the call.
    void start(const QString& identifier, const QVariantMap& userInfo,
               const QString& activationToken);
    // A started chooser reports that it has the file.
    void confirm(const QString& identifier);
    bool isPending(const QString& identifier) const { return m_pending.contains(identifier); }
    bool isEmpty() const { return m_pending.isEmpty(); }

    // The arguments that hand a reminder answer to a new chooser process.
    static QStringList responseArguments(const QVariantMap& userInfo, const QString& identifier);

    // For the chooser started with an answer: tells the agent that the file
    // has been taken (its Taken method), so that it forgets the reminder. done
    // runs once the agent has had the message or could not be reached.
    static void reportTaken(const QDBusConnection& connection, const QString& identifier,
                            QObject* context, std::function<void()> done);

Q_SIGNALS:
    void handedOver(const QString& identifier);
    void failed(const QString& identifier);

private:
    void startChooser(const QString& identifier, const QVariantMap& userInfo,
                      const QString& activationToken);
    void finish(const QString& identifier, bool taken);

    QDBusConnection m_connection;
    QStringList m_chooserCommand;
    // Each value owns what watches a chooser started for the reminder (null
    // while the running chooser is asked).
    QHash<QString, std::shared_ptr<QObject>> m_pending;
};

} // namespace marvoline
