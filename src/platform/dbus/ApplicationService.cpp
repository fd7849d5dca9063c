#include "platform/dbus/ApplicationService.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace marvoline {

namespace {

// Values inside an "av" come out of QtDBus either as plain values or, for
// containers, still marshalled; the receivers want plain Qt values.
QVariant plainValue(const QVariant& value) {
    if (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        return plainValue(value.value<QDBusVariant>().variant());
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return value;

    const auto arg = value.value<QDBusArgument>();
    const QString signature = arg.currentSignature();
    if (signature == QLatin1String("a{sv}")) {
        QVariantMap map = qdbus_cast<QVariantMap>(arg);
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = plainValue(it.value());
        return map;
    }
    if (signature == QLatin1String("as"))
        return qdbus_cast<QStringList>(arg);
    if (signature == QLatin1String("av")) {
        QVariantList list = qdbus_cast<QVariantList>(arg);
        for (QVariant& item : list)
            item = plainValue(item);
        return list;
    }
    if (signature == QLatin1String("ay"))
        return qdbus_cast<QByteArray>(arg);
    return value;
}

WindowActivation activationOf(const QVariantMap& platformData) {
    QVariantMap plain = platformData;
    for (auto it = plain.begin(); it != plain.end(); ++it)
        it.value() = plainValue(it.value());
    return WindowActivation::fromPlatformData(plain);
}

} // namespace

ApplicationService::ApplicationService(QObject* parent)
    : QObject(parent) {}

ApplicationService::~ApplicationService() {
    // Callers still waiting are told that their files were not taken.
    refusePendingOpen();
}

void ApplicationService::setAcceptingRequests(bool accepting) {
    m_accepting = accepting;
    if (!accepting)
        refusePendingOpen();
}

void ApplicationService::setAcceptedActions(const QStringList& names) {
    m_acceptedActions = QSet<QString>(names.begin(), names.end());
}

QList<QUrl> ApplicationService::urlsFromUris(const QStringList& uris) {
    QList<QUrl> urls;
    urls.reserve(uris.size());
    for (const QString& uri : uris) {
        // fromEncoded keeps "%FF" as it is; a QString constructor would decode
        // it and replace the byte.
        const QUrl url = QUrl::fromEncoded(uri.toUtf8());
        if (url.isValid() && !url.isEmpty())
            urls.append(url);
    }
    return urls;
}

bool ApplicationService::refuseWhenClosing() {
    if (m_accepting)
        return false;
    if (calledFromDBus())
        sendErrorReply(
            QString::fromLatin1(closingError),
            QStringLiteral("The chooser is opening files or closing and takes no requests"));
    return true;
}

void ApplicationService::refusePendingOpen() {
    m_openPending = false;
    m_pendingUrls.clear();
    m_pendingActivation = {};
    for (const WaitingCaller& caller : std::exchange(m_waitingCallers, {})) {
        caller.connection.send(caller.call.createErrorReply(
            QString::fromLatin1(closingError),
            QStringLiteral("The chooser is opening files or closing and takes no requests")));
    }
}

void ApplicationService::showPendingOpen() {
    if (!m_openPending)
        return;
    m_openPending = false;
    const QList<QUrl> urls = std::exchange(m_pendingUrls, {});
    const WindowActivation activation = std::exchange(m_pendingActivation, {});
    const std::vector<WaitingCaller> callers = std::exchange(m_waitingCallers, {});
    if (urls.isEmpty())
        Q_EMIT activateRequested(activation);
    else
        Q_EMIT openRequested(urls, activation);
    for (const WaitingCaller& caller : callers)
        caller.connection.send(caller.call.createReply());
}

void ApplicationService::Activate(const QVariantMap& platformData) {
    if (refuseWhenClosing())
        return;
    // Requests keep their order: files asked for before come first.
    showPendingOpen();
    Q_EMIT activateRequested(activationOf(platformData));
}

void ApplicationService::Open(const QStringList& uris, const QVariantMap& platformData) {
    if (refuseWhenClosing())
        return;
    const QList<QUrl> urls = urlsFromUris(uris);
    // A request without a local file shows nothing; it does not replace files
    // still to be shown, but brings the chooser forward all the same.
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        m_pendingUrls = urls;
    m_pendingActivation = activationOf(platformData);
    m_openPending = true;
    if (calledFromDBus()) {
        setDelayedReply(true);
        m_waitingCallers.push_back({connection(), message()});
    }
    if (m_showQueued)
        return;
    // Behind the requests that have already arrived, which are taken in first.
    m_showQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_showQueued = false;
            showPendingOpen();
        },
        Qt::QueuedConnection);
}

void ApplicationService::ActivateAction(const QString& actionName, const QVariantList& parameter,
                                        const QVariantMap& platformData) {
    if (refuseWhenClosing())
        return;
    if (!m_acceptedActions.contains(actionName))
        return;
    showPendingOpen();
    QVariantList plain;
    plain.reserve(parameter.size());
    for (const QVariant& value : parameter)
        plain.append(plainValue(value));
    Q_EMIT actionRequested(actionName, plain, activationOf(platformData));
}

} // namespace marvoline
