#include "platform/Platform.h"

#include "platform/NotificationCenter.h"
#include "platform/gio/GioAppRegistry.h"

namespace marvoline::platform {

AppRegistry& registry() {
    static GioAppRegistry instance;
    return instance;
}

NotificationCenter& notificationCenter() {
    static NotificationCenter instance;
    return instance;
}

} // namespace marvoline::platform
