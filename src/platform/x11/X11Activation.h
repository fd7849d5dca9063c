#pragma once

#include <QByteArray>
#include <optional>

class QWidget;

namespace marvoline::x11 {

// The launcher's event time in a startup notification ID ("..._TIME<n>").
std::optional<quint32> startupIdTime(const QByteArray& startupId);

// The message that ends a startup notification sequence ("remove: ID=...").
QByteArray startupRemoveMessage(const QByteArray& startupId);

// Ends the launcher's startup sequence on the shown window of an X11
// application and asks the window manager to activate it with the launcher's
// event time, which focus-stealing prevention accepts where a newer event of
// this program would not exist. Does nothing for windows that are not X11's.
void completeStartup(QWidget* window, const QByteArray& startupId);

} // namespace marvoline::x11
