#include "platform/dbus/AppChooserAnswer.h"

#include "platform/FilePaths.h"

#include <QDBusVariant>
#include <QFile>

namespace marvoline::portal {

namespace {

constexpr QLatin1String desktopSuffix(".desktop");

// An option's string; empty when it is absent or not a string. QtDBus hands
// over an "s" as a QString, a "ay" (a path as bytes) as a QByteArray.
QString optionText(const QVariantMap& options, const QString& key) {
    QVariant value = options.value(key);
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() == QMetaType::QByteArray) {
        QByteArray bytes = value.toByteArray();
        // Byte-string paths travel with their terminating NUL.
        if (bytes.endsWith('\0'))
            bytes.chop(1);
        return QFile::decodeName(bytes);
    }
    return {};
}

} // namespace

QString choiceId(const QString& desktopFileId) {
    return desktopFileId.endsWith(desktopSuffix) ? desktopFileId.chopped(desktopSuffix.size())
                                                 : desktopFileId;
}

QString desktopFileId(const QString& choice) {
    return choice.endsWith(desktopSuffix) ? choice : choice + desktopSuffix;
}

QVariantMap results(Response response, const QString& chosenDesktopFileId,
                    const QString& activationToken) {
    QVariantMap map;
    if (response != Response::Chosen || chosenDesktopFileId.isEmpty())
        return map;
    map.insert(QStringLiteral("choice"), choiceId(chosenDesktopFileId));
    if (!activationToken.isEmpty())
        map.insert(QStringLiteral("activation_token"), activationToken);
    return map;
}

std::optional<QUrl> requestedFile(const QVariantMap& options) {
    const QUrl uri = QUrl::fromEncoded(optionText(options, QStringLiteral("uri")).toUtf8());
    if (uri.isValid() && uri.isLocalFile() && !localPath(uri).isEmpty())
        return uri;
    const QString path = optionText(options, QStringLiteral("filename"));
    if (path.startsWith(QLatin1Char('/')))
        return fileUrlFromPath(QFile::encodeName(path));
    return std::nullopt;
}

std::optional<QString> initialChoice(const QStringList& choices, const QVariantMap& options) {
    const QString last = choiceId(optionText(options, QStringLiteral("last_choice")));
    for (const QString& choice : choices) {
        if (!last.isEmpty() && choiceId(choice) == last)
            return choiceId(choice);
    }
    for (const QString& choice : choices) {
        if (!choice.isEmpty())
            return choiceId(choice);
    }
    return std::nullopt;
}

QStringList orderedChoices(const QStringList& choices, const QVariantMap& options) {
    QStringList ordered;
    if (const std::optional<QString> first = initialChoice(choices, options))
        ordered.append(*first);
    for (const QString& choice : choices) {
        const QString id = choiceId(choice);
        if (!id.isEmpty() && !ordered.contains(id))
            ordered.append(id);
    }
    return ordered;
}

} // namespace marvoline::portal
