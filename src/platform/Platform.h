#pragma once

namespace marvoline {

class AppRegistry;
class NotificationCenter;

// The platform implementations are chosen here and nowhere else.
namespace platform {
AppRegistry& registry();
NotificationCenter& notificationCenter();
} // namespace platform

} // namespace marvoline
