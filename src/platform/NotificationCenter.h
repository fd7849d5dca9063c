#pragma once

#include "platform/WindowActivation.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariantMap>

#include <functional>

namespace marvoline {

// When a scheduled notification is due: a number of seconds after it was
// added, or a local calendar date and time. Never repeats.
class NotificationTrigger {
public:
    enum class Kind { TimeInterval, Calendar };

    static NotificationTrigger timeInterval(qint64 seconds);
    // date and time are in the local time zone at the moment of adding.
    static NotificationTrigger calendar(const QDate& date, const QTime& time);

    Kind kind() const { return m_kind; }
    qint64 seconds() const { return m_seconds; }
    QDate date() const { return m_date; }
    QTime time() const { return m_time; }

    // The wall-clock moment (UTC) at which a request added at addedAt is due.
    // Moments past the year 9999 are held at its end: such a reminder stays
    // pending rather than wrapping round to the past.
    QDateTime dueTime(const QDateTime& addedAt) const;

private:
    Kind m_kind = Kind::TimeInterval;
    qint64 m_seconds = 0;
    QDate m_date;
    QTime m_time;
};

// The key of a reminder's user information that holds its file's path: a
// string, or the path's bytes when they are not UTF-8.
inline const QString reminderFilePathKey = QStringLiteral("filePath");

// The path held under reminderFilePathKey, as bytes; empty for anything else.
inline QByteArray reminderPathBytes(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    if (value.typeId() == QMetaType::QString)
        return value.toString().toUtf8();
    return {};
}

// What a notification shows, and the user information that comes back
// unchanged with the user's answer.
struct NotificationContent {
    QString title;
    QString body;
    QVariantMap userInfo;
};

struct NotificationRequest {
    QString identifier;
    NotificationContent content;
    NotificationTrigger trigger;
};

// Receives the user's answers to the program's notifications.
class NotificationCenterDelegate {
public:
    virtual ~NotificationCenterDelegate() = default;
    // userInfo is the notification's user information, unchanged; activation
    // is what the notification server gave for bringing a window to the front
    // with the answer (may be empty). completion must be called exactly once.
    virtual void didReceiveNotificationResponse(const QVariantMap& userInfo,
                                                const WindowActivation& activation,
                                                std::function<void()> completion) = 0;
};

// The program's notification centre: one per process. Requests outlive the
// process that added them; the user's answer reaches the delegate of the
// process that shows the chooser then.
class NotificationCenter {
public:
    using AuthorizationHandler = std::function<void(bool granted)>;

    NotificationCenter() = default;
    virtual ~NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    void setDelegate(NotificationCenterDelegate* delegate) { m_delegate = delegate; }
    NotificationCenterDelegate* delegate() const { return m_delegate; }

    // Hands an answer to the delegate; without one the answer is dropped and
    // completion still runs once.
    void deliverResponse(const QVariantMap& userInfo, const WindowActivation& activation,
                         std::function<void()> completion);

    // Whether notifications can be scheduled. The handler runs exactly once,
    // on the main thread from the event loop, never from within the call.
    virtual void requestAuthorization(AuthorizationHandler handler) = 0;
    using AddHandler = std::function<void(bool added)>;

    // Schedules the requests, all of them or none, without holding up the
    // caller. done runs exactly once, on the main thread from the event loop,
    // told whether they were kept, so that the caller does not report a
    // reminder that will never come.
    virtual void add(const QList<NotificationRequest>& requests, AddHandler done) = 0;
    // Removes scheduled requests that have not been answered yet.
    virtual void removePendingRequests(const QStringList& identifiers) = 0;

private:
    NotificationCenterDelegate* m_delegate = nullptr;
};

} // namespace marvoline
