#include "platform/dbus/PortalRequest.h"

namespace marvoline {

PortalRequest::PortalRequest(QDBusConnection connection, const QString& handle, QObject* parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_handle(handle) {
    m_registered =
        m_connection.registerObject(m_handle, this, QDBusConnection::ExportScriptableSlots);
}

PortalRequest::~PortalRequest() {
    if (m_registered)
        m_connection.unregisterObject(m_handle);
}

void PortalRequest::Close() {
    Q_EMIT closeRequested();
}

} // namespace marvoline
