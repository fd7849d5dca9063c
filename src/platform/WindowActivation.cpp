#include "platform/WindowActivation.h"

#include "platform/x11/X11Activation.h"

#include <QGuiApplication>
#include <QWidget>

namespace marvoline {

namespace {

const QString startupIdKey = QStringLiteral("desktop-startup-id");
const QString activationTokenKey = QStringLiteral("activation-token");

QString stringValue(const QVariantMap& map, const QString& key) {
    const QVariant value = map.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

WindowActivation WindowActivation::fromEnvironment() {
    return {qEnvironmentVariable("DESKTOP_STARTUP_ID"),
            qEnvironmentVariable("XDG_ACTIVATION_TOKEN")};
}

WindowActivation WindowActivation::fromPlatformData(const QVariantMap& platformData) {
    return {stringValue(platformData, startupIdKey), stringValue(platformData, activationTokenKey)};
}

QVariantMap WindowActivation::platformData() const {
    QVariantMap data;
    if (!startupId.isEmpty())
        data.insert(startupIdKey, startupId);
    if (!activationToken.isEmpty())
        data.insert(activationTokenKey, activationToken);
    return data;
}

void activateWindow(QWidget* window, const WindowActivation& activation) {
    if (!window)
        return;
    // A minimized window stays minimized through show() and raise(), and an
    // activation request for it is held back until it is mapped again.
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("wayland")) {
        // Qt's xdg-shell integration hands the token in XDG_ACTIVATION_TOKEN
        // to the compositor at the next activation request. Launchers on
        // Wayland may pass the token as the startup ID only.
        const QString token = activation.activationToken.isEmpty() ? activation.startupId
                                                                   : activation.activationToken;
        if (!token.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
        window->activateWindow();
    } else {
        window->activateWindow();
        if (platform == QLatin1String("xcb") && !activation.startupId.isEmpty())
            x11::completeStartup(window, activation.startupId.toUtf8());
    }
}

} // namespace marvoline
