#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace marvoline::test {

class XdgSandbox;

// A session bus of the test's own, which starts D-Bus services from the
// sandbox's data/dbus-1/services as a desktop's bus does from the system's
// folders. Programs started by the test reach it through address().
class PrivateBus {
public:
    explicit PrivateBus(XdgSandbox& sandbox);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the bus could not be started.
    QString address() const { return m_address; }
    // Makes it this process's session bus; call before anything has used one.
    void makeSessionBus() const;

    // Writes a D-Bus-activatable desktop entry <id> (its Exec the sandbox's
    // recorder, never used) and the service file that starts the slow
    // application for it: Open is answered after delayMs and recorded like a
    // launch of <id>, or refused with errorText when that is not empty.
    QUrl addSlowApp(const QString& id, const QString& name, const QStringList& mimeTypes,
                    int delayMs, const QString& errorText = {});

private:
    XdgSandbox& m_sandbox;
    QProcess m_daemon;
    QString m_address;
};

} // namespace marvoline::test
