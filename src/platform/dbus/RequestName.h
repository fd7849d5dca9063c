#pragma once

#include <QtGlobal>

// org.freedesktop.DBus.RequestName: the flag the program passes and the
// answers it tells apart.
namespace marvoline::requestname {

inline constexpr uint doNotQueue = 4;

inline constexpr uint primaryOwner = 1;
inline constexpr uint inQueue = 2;
inline constexpr uint exists = 3;
inline constexpr uint alreadyOwner = 4;

} // namespace marvoline::requestname
