#pragma once

namespace marvoline {

class AppRegistry;
class NotificationCenter;
class ShareServices;

// The platform implementations are chosen here and nowhere else.
namespace platform {
AppRegistry& registry();
NotificationCenter& notificationCenter();
// Puts another centre in place of the standard one (nullptr: the standard one
// again), for tests that schedule into a store and bus of their own. The
// caller keeps ownership.
void setNotificationCenter(NotificationCenter* center);
ShareServices& shareServices();
} // namespace platform

} // namespace marvoline
