#pragma once

#include <QVariantMap>

#include <functional>

namespace marvoline {

// Receives the user's answers to the program's notifications.
class NotificationCenterDelegate {
public:
    virtual ~NotificationCenterDelegate() = default;
    // userInfo is the notification's user information, unchanged. completion
    // must be called exactly once.
    virtual void didReceiveNotificationResponse(const QVariantMap& userInfo,
                                                std::function<void()> completion) = 0;
};

// The program's notification centre: one per process.
class NotificationCenter {
public:
    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    void setDelegate(NotificationCenterDelegate* delegate) { m_delegate = delegate; }
    NotificationCenterDelegate* delegate() const { return m_delegate; }

    // Hands an answer to the delegate; without one the answer is dropped and
    // completion still runs once.
    void deliverResponse(const QVariantMap& userInfo, std::function<void()> completion);

private:
    NotificationCenterDelegate* m_delegate = nullptr;
};

} // namespace marvoline
