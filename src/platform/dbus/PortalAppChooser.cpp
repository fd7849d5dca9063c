#include "platform/dbus/PortalAppChooser.h"

#include "platform/dbus/PortalRequest.h"

#include <QDBusServiceWatcher>
#include <QTimer>

#include <algorithm>

namespace marvoline {

struct PortalAppChooser::Open {
    ChooserRequest request;
    QString caller; // the unique bus name of the portal that asked
    QDBusMessage call;
    std::unique_ptr<PortalRequest> object;
};

PortalAppChooser::PortalAppChooser(QDBusConnection connection, QObject* parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_callers(new QDBusServiceWatcher(this)) {
    m_callers->setConnection(m_connection);
    m_callers->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_callers, &QDBusServiceWatcher::serviceUnregistered, this,
            &PortalAppChooser::callerVanished);
}

PortalAppChooser::~PortalAppChooser() {
    for (const std::unique_ptr<Open>& open : m_open)
        reply(*open, portal::Response::Closed, {});
}

bool PortalAppChooser::registerService(const QString& name) {
    if (!m_connection.registerObject(QString::fromLatin1(objectPath), this,
                                     QDBusConnection::ExportScriptableSlots |
                                         QDBusConnection::ExportScriptableProperties))
        return false;
    return name.isEmpty() || m_connection.registerService(name);
}

const ChooserRequest* PortalAppChooser::current() const {
    return m_showing && !m_open.empty() ? &m_open.front()->request : nullptr;
}

void PortalAppChooser::ChooseApplication(const QDBusObjectPath& handle, const QString& app_id,
                                         const QString& parent_window, const QStringList& choices,
                                         const QVariantMap& options, uint& response,
                                         QVariantMap& results) {
    response = uint(portal::Response::Closed);
    results.clear();
    const QString path = handle.path();
    const bool known = std::any_of(m_open.begin(), m_open.end(),
                                   [&](const auto& open) { return open->request.handle == path; });
    if (known) {
        // One handle, one request: a second call cannot be told apart from the first.
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Request already open: ") + path);
        return;
    }
    setDelayedReply(true);
    auto open = std::make_unique<Open>();
    open->request = {path, app_id, parent_window, choices, options};
    open->caller = message().service();
    open->call = message();
    open->object = std::make_unique<PortalRequest>(m_connection, path);
    connect(open->object.get(), &PortalRequest::closeRequested, this,
            [this, path] { close(path); });
    if (!open->caller.isEmpty())
        m_callers->addWatchedService(open->caller);
    m_open.push_back(std::move(open));
    startNextSoon();
}

void PortalAppChooser::UpdateChoices(const QDBusObjectPath& handle, const QStringList& choices) {
    for (const std::unique_ptr<Open>& open : m_open) {
        if (open->request.handle != handle.path())
            continue;
        open->request.choices = choices;
        if (m_showing && open == m_open.front())
            Q_EMIT choicesUpdated();
        return;
    }
}

void PortalAppChooser::answer(portal::Response response, const QString& chosenDesktopFileId,
                              const QString& activationToken) {
    if (!m_showing || m_open.empty())
        return;
    std::unique_ptr<Open> open = std::move(m_open.front());
    m_open.pop_front();
    m_showing = false;
    reply(*open, response, portal::results(response, chosenDesktopFileId, activationToken));
    startNextSoon();
}

void PortalAppChooser::reply(Open& open, portal::Response response, const QVariantMap& results) {
    QDBusMessage answer = open.call.createReply();
    answer << uint(response) << results;
    m_connection.send(answer);
}

void PortalAppChooser::close(const QString& handle) {
    const auto it = std::find_if(m_open.begin(), m_open.end(),
                                 [&](const auto& open) { return open->request.handle == handle; });
    if (it == m_open.end())
        return;
    const bool wasShowing = m_showing && it == m_open.begin();
    std::unique_ptr<Open> open = std::move(*it);
    m_open.erase(it);
    if (wasShowing)
        m_showing = false;
    reply(*open, portal::Response::Closed, {});
    if (wasShowing)
        Q_EMIT requestEnded();
    startNextSoon();
}

void PortalAppChooser::callerVanished(const QString& name) {
    m_callers->removeWatchedService(name);
    QStringList handles;
    for (const std::unique_ptr<Open>& open : m_open) {
        if (open->caller == name)
            handles.append(open->request.handle);
    }
    for (const QString& handle : handles)
        close(handle);
}

void PortalAppChooser::startNextSoon() {
    if (m_startQueued)
        return;
    m_startQueued = true;
    QTimer::singleShot(0, this, &PortalAppChooser::startNext);
}

void PortalAppChooser::startNext() {
    m_startQueued = false;
    if (m_showing)
        return;
    if (m_open.empty()) {
        Q_EMIT allAnswered();
        return;
    }
    m_showing = true;
    Q_EMIT requestStarted();
}

} // namespace marvoline
