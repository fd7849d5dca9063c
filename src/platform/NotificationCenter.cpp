#include "platform/NotificationCenter.h"

#include <memory>

namespace marvoline {

namespace {

QDateTime latestDueTime() {
    return QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
}

} // namespace

NotificationTrigger NotificationTrigger::timeInterval(qint64 seconds) {
    NotificationTrigger trigger;
    trigger.m_kind = Kind::TimeInterval;
    trigger.m_seconds = seconds;
    return trigger;
}

NotificationTrigger NotificationTrigger::calendar(const QDate& date, const QTime& time) {
    NotificationTrigger trigger;
    trigger.m_kind = Kind::Calendar;
    trigger.m_date = date;
    trigger.m_time = time;
    return trigger;
}

QDateTime NotificationTrigger::dueTime(const QDateTime& addedAt) const {
    const QDateTime latest = latestDueTime();
    if (m_kind == Kind::Calendar) {
        // Local time of the given day; on a day whose clock jumps over that
        // hour, Qt moves it past the gap.
        const QDateTime local(m_date, m_time, Qt::LocalTime);
        return std::min(local.toUTC(), latest);
    }
    const QDateTime from = addedAt.toUTC();
    // Compare before adding: addSecs of a huge count overflows.
    if (m_seconds >= from.secsTo(latest))
        return latest;
    return from.addSecs(m_seconds);
}

void NotificationCenter::deliverResponse(const QVariantMap& userInfo,
                                         const WindowActivation& activation,
                                         std::function<void()> completion) {
    // Whatever the delegate does, completion runs exactly once.
    auto once = std::make_shared<std::function<void()>>(std::move(completion));
    auto callOnce = [once] {
        if (*once) {
            auto f = std::move(*once);
            *once = nullptr;
            f();
        }
    };
    if (m_delegate)
        m_delegate->didReceiveNotificationResponse(userInfo, activation, callOnce);
    callOnce();
}

} // namespace marvoline
