#include "platform/Platform.h"

#include "platform/NotificationCenter.h"
#include "platform/ShareServices.h"
#include "platform/dbus/DbusNotificationCenter.h"
#include "platform/gio/GioAppRegistry.h"

namespace marvoline::platform {

namespace {

NotificationCenter* replacementCenter = nullptr;

} // namespace

AppRegistry& registry() {
    static GioAppRegistry instance;
    return instance;
}

NotificationCenter& notificationCenter() {
    if (replacementCenter)
        return *replacementCenter;
    // Lives as long as the process: destroyed among the statics, after the
    // application object, its bus connection would outlive QtDBus.
    static DbusNotificationCenter* const instance = DbusNotificationCenter::createStandard();
    return *instance;
}

void setNotificationCenter(NotificationCenter* center) {
    // The delegate belongs to the process, not to one centre.
    NotificationCenterDelegate* delegate = notificationCenter().delegate();
    replacementCenter = center;
    if (center)
        center->setDelegate(delegate);
}

ShareServices& shareServices() {
    static ShareServices instance;
    return instance;
}

} // namespace marvoline::platform
