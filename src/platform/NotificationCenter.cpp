#include "platform/NotificationCenter.h"

#include <memory>

namespace marvoline {

void NotificationCenter::deliverResponse(const QVariantMap& userInfo,
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
        m_delegate->didReceiveNotificationResponse(userInfo, callOnce);
    callOnce();
}

} // namespace marvoline
