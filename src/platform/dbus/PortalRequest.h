#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace marvoline {

// The org.freedesktop.impl.portal.Request object of one application-chooser
// request, registered at the request's handle for as long as the request is
// open. The portal calls Close() when its caller closes the request.
class PortalRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.Request")

public:
    // Registers the object at handle on the connection; isRegistered() says
    // whether that worked.
    PortalRequest(QDBusConnection connection, const QString& handle, QObject* parent = nullptr);
    ~PortalRequest() override;

    QString handle() const { return m_handle; }
    bool isRegistered() const { return m_registered; }

public Q_SLOTS:
    Q_SCRIPTABLE void Close();

Q_SIGNALS:
    void closeRequested();

private:
    QDBusConnection m_connection;
    QString m_handle;
    bool m_registered = false;
};

} // namespace marvoline
