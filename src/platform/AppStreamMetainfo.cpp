#include "platform/AppStreamMetainfo.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStandardPaths>
#include <QVersionNumber>
#include <QXmlStreamReader>

#include <algorithm>

namespace marvoline {

namespace {

const QString desktopSuffix = QStringLiteral(".desktop");
const QString metainfoSuffix = QStringLiteral(".metainfo.xml");
const QString appdataSuffix = QStringLiteral(".appdata.xml");

// Metainfo files are small; anything larger is not one.
constexpr qint64 maxFileSize = 4 * 1024 * 1024;

struct Release {
    QString version;
    std::optional<qint64> time; // seconds since the epoch
    bool development = false;
};

struct Component {
    QStringList ids; // <id> and <launchable type="desktop-id">
    QList<Release> releases;
};

QString withoutDesktopSuffix(const QString& id) {
    return id.endsWith(desktopSuffix) ? id.chopped(desktopSuffix.size()) : id;
}

bool namesDesktopId(const Component& component, const QString& desktopId) {
    const QString base = withoutDesktopSuffix(desktopId);
    for (const QString& id : component.ids) {
        if (id == desktopId || withoutDesktopSuffix(id) == base)
            return true;
    }
    return false;
}

std::optional<qint64> releaseTime(const QXmlStreamAttributes& attributes) {
    bool ok = false;
    const qint64 timestamp = attributes.value(QLatin1String("timestamp")).toLongLong(&ok);
    if (ok)
        return timestamp;
    const QString date = attributes.value(QLatin1String("date")).toString().trimmed();
    if (date.isEmpty())
        return std::nullopt;
    QDateTime when = QDateTime::fromString(date, Qt::ISODate);
    if (!when.isValid()) {
        const QDate day = QDate::fromString(date.left(10), Qt::ISODate);
        if (!day.isValid())
            return std::nullopt;
        when = day.startOfDay(Qt::UTC);
    }
    return when.toSecsSinceEpoch();
}

// Whether release a is newer than release b.
bool isNewer(const Release& a, const Release& b) {
    if (a.time && b.time && *a.time != *b.time)
        return *a.time > *b.time;
    const QVersionNumber va = QVersionNumber::fromString(a.version);
    const QVersionNumber vb = QVersionNumber::fromString(b.version);
    if (!va.isNull() && !vb.isNull())
        return QVersionNumber::compare(va, vb) > 0;
    return false;
}

std::optional<QString> newestOf(const QList<Release>& releases) {
    // Development snapshots count only when there is nothing else.
    const bool anyStable = std::any_of(releases.cbegin(), releases.cend(),
                                       [](const Release& r) { return !r.development; });
    const Release* newest = nullptr;
    for (const Release& release : releases) {
        if (anyStable && release.development)
            continue;
        if (!newest || isNewer(release, *newest))
            newest = &release;
    }
    if (!newest)
        return std::nullopt;
    return newest->version;
}

void readReleases(QXmlStreamReader& xml, Component& component) {
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("release")) {
            xml.skipCurrentElement();
            continue;
        }
        const QXmlStreamAttributes attributes = xml.attributes();
        Release release;
        release.version = attributes.value(QLatin1String("version")).toString().trimmed();
        release.time = releaseTime(attributes);
        const auto type = attributes.value(QLatin1String("type"));
        release.development =
            type == QLatin1String("development") || type == QLatin1String("snapshot");
        if (!release.version.isEmpty())
            component.releases.append(release);
        xml.skipCurrentElement();
    }
}

// Reads the children of a <component> element; the reader stands on its start.
Component readComponent(QXmlStreamReader& xml) {
    Component component;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("id")) {
            component.ids.append(xml.readElementText().trimmed());
        } else if (name == QLatin1String("launchable")) {
            const bool desktopId =
                xml.attributes().value(QLatin1String("type")) == QLatin1String("desktop-id");
            const QString text = xml.readElementText().trimmed();
            if (desktopId)
                component.ids.append(text);
        } else if (name == QLatin1String("releases")) {
            readReleases(xml, component);
        } else {
            xml.skipCurrentElement();
        }
    }
    return component;
}

std::optional<QString> versionFromFile(const QString& path, const QString& desktopId) {
    QFile file(path);
    if (file.size() > maxFileSize || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray contents = file.readAll();
    // Most files are about other applications: look before parsing.
    if (!contents.contains(withoutDesktopSuffix(desktopId).toUtf8()))
        return std::nullopt;
    return newestReleaseVersion(contents, desktopId);
}

std::optional<QString> versionInFolder(const QString& folder, const QString& desktopId) {
    const QDir dir(folder);
    if (!dir.exists())
        return std::nullopt;
    // The file is usually named after the component: try those names first.
    const QString base = withoutDesktopSuffix(desktopId);
    const QStringList preferred{base + metainfoSuffix, base + appdataSuffix,
                                desktopId + metainfoSuffix, desktopId + appdataSuffix};
    for (const QString& name : preferred) {
        if (dir.exists(name)) {
            if (std::optional<QString> version = versionFromFile(dir.filePath(name), desktopId))
                return version;
        }
    }
    const QStringList names =
        dir.entryList({QLatin1Char('*') + metainfoSuffix, QLatin1Char('*') + appdataSuffix},
                      QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& name : names) {
        if (preferred.contains(name))
            continue;
        if (std::optional<QString> version = versionFromFile(dir.filePath(name), desktopId))
            return version;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> newestReleaseVersion(const QByteArray& metainfoXml,
                                            const QString& desktopId) {
    if (desktopId.isEmpty())
        return std::nullopt;
    QXmlStreamReader xml(metainfoXml);
    std::optional<QString> found;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("component")) {
            const Component component = readComponent(xml);
            if (!found && namesDesktopId(component, desktopId))
                found = newestOf(component.releases);
        }
    }
    // A document that breaks off is not trusted, not even its first part.
    if (xml.hasError())
        return std::nullopt;
    return found;
}

std::optional<QString> appStreamReleaseVersion(const QString& desktopId,
                                               const QStringList& dataDirs) {
    for (const QString& dataDir : dataDirs) {
        for (const char* sub : {"metainfo", "appdata"}) {
            const QString folder = dataDir + QLatin1Char('/') + QLatin1String(sub);
            if (std::optional<QString> version = versionInFolder(folder, desktopId))
                return version;
        }
    }
    return std::nullopt;
}

std::optional<QString> appStreamReleaseVersion(const QString& desktopId) {
    return appStreamReleaseVersion(
        desktopId, QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
}

} // namespace marvoline
