#include "platform/dbus/ApplicationService.h"

#include <QDBusArgument>
#include <QDBusVariant>

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

void ApplicationService::Activate(const QVariantMap& platformData) {
    if (refuseWhenClosing())
        return;
    Q_EMIT activateRequested(activationOf(platformData));
}

void ApplicationService::Open(const QStringList& uris, const QVariantMap& platformData) {
    if (refuseWhenClosing())
        return;
    Q_EMIT openRequested(urlsFromUris(uris), activationOf(platformData));
}

void ApplicationService::ActivateAction(const QString& actionName, const QVariantList& parameter,
                                        const QVariantMap& platformData) {
    if (refuseWhenClosing())
        return;
    if (!m_acceptedActions.contains(actionName))
        return;
    QVariantList plain;
    plain.reserve(parameter.size());
    for (const QVariant& value : parameter)
        plain.append(plainValue(value));
    Q_EMIT actionRequested(actionName, plain, activationOf(platformData));
}

} // namespace marvoline
