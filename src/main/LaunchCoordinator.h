#pragma once

#include "platform/WindowActivation.h"
#include "platform/dbus/ApplicationService.h"
#include "platform/dbus/SingleInstance.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace marvoline {

class AppDelegate;

// Decides after intake whether this process shows the chooser or hands its
// files to the chooser that already runs in the session, and connects the
// delegate to the bus. Once the process knows it is the one to show the files,
// it shows those from the command line at once and starts the delegate's
// launch check, which ends a process that has nothing to show.
class LaunchCoordinator : public QObject {
    Q_OBJECT

public:
    // The action a process started with "--choose" hands its files over with
    // (one parameter: their URIs); they are shown whatever the rules say.
    static constexpr char chooseAction[] = "choose";

    // launchActivation is what this process's launcher gave it; a hand-over
    // passes it on, so that the running chooser may come to the front.
    explicit LaunchCoordinator(AppDelegate& delegate, WindowActivation launchActivation = {},
                               QObject* parent = nullptr);

    // A reminder answer this process was started with: delivered to the
    // delegate once the process knows it shows the chooser, or handed to the
    // chooser that already runs, with the launch activation either way. Then
    // the reminder agent hears that the file was taken, when identifier (the
    // reminder's) is given. Call before start().
    void setReminderResponse(const QVariantMap& userInfo, const QString& identifier = {}) {
        m_reminderResponse = userInfo;
        m_reminderIdentifier = identifier;
    }

    // Call after the delegate's applicationWillFinishLaunching.
    void start();
    void start(const QDBusConnection& connection);

    SingleInstance::Role role() const { return m_instance.role(); }

    // Stops answering as the running chooser: call before anything that can
    // wait on the way out (see SingleInstance::release).
    void release();

Q_SIGNALS:
    // The files went to the running chooser: this process has nothing to do.
    void handedOver();

private:
    void runHere();
    void onActionRequested(const QString& actionName, const QVariantList& parameter,
                           const WindowActivation& activation);
    void reportReminderTaken(std::function<void()> done);

    AppDelegate& m_delegate;
    const WindowActivation m_launchActivation;
    ApplicationService m_service;
    SingleInstance m_instance;
    std::optional<QVariantMap> m_reminderResponse;
    QString m_reminderIdentifier;
    bool m_running = false;
};

} // namespace marvoline
