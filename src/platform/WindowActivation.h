#pragma once

#include <QString>
#include <QVariantMap>

class QWidget;

namespace marvoline {

// What a launcher hands a program so that its window may come to the front:
// the startup notification ID (X11, DESKTOP_STARTUP_ID) and the xdg-activation
// token (Wayland, XDG_ACTIVATION_TOKEN). Either may be empty. Between
// processes they travel as the platform data of org.freedesktop.Application
// calls, under "desktop-startup-id" and "activation-token".
struct WindowActivation {
    QString startupId;
    QString activationToken;

    bool isEmpty() const { return startupId.isEmpty() && activationToken.isEmpty(); }

    // From this process's environment. Qt's X11 plugin removes
    // DESKTOP_STARTUP_ID when the application object is made: read it before.
    static WindowActivation fromEnvironment();
    // From the platform data of a call; values that are not strings are left out.
    static WindowActivation fromPlatformData(const QVariantMap& platformData);
    // The platform data of a call; empty values are left out.
    QVariantMap platformData() const;
};

// Shows the window and asks the window system to bring it to the front, with
// the launcher's ID or token where the window system takes one. Whether it
// comes to the front is the window system's decision.
void activateWindow(QWidget* window, const WindowActivation& activation);

} // namespace marvoline
