#include "platform/AppStreamMetainfo.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
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

// The components of one metainfo document; absent for a malformed one (a
// document that breaks off is not trusted, not even its first part).
std::optional<QList<Component>> readComponents(const QByteArray& metainfoXml) {
    QXmlStreamReader xml(metainfoXml);
    QList<Component> components;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("component"))
            components.append(readComponent(xml));
    }
    if (xml.hasError())
        return std::nullopt;
    return components;
}

// The newest release of the first component that names the desktop file ID
// and declares one.
std::optional<QString> versionAmong(const QList<Component>& components, const QString& desktopId) {
    for (const Component& component : components) {
        if (!namesDesktopId(component, desktopId))
            continue;
        if (std::optional<QString> version = newestOf(component.releases))
            return version;
    }
    return std::nullopt;
}

// The metainfo files below the data folders, listed once and each read and
// parsed at most once, and the versions found for each desktop file ID.
class MetainfoIndex {
public:
    explicit MetainfoIndex(const QStringList& dataDirs) {
        for (const QString& dataDir : dataDirs) {
            for (const char* sub : {"metainfo", "appdata"}) {
                const QDir dir(dataDir + QLatin1Char('/') + QLatin1String(sub));
                const QStringList names = dir.entryList(
                    {QLatin1Char('*') + metainfoSuffix, QLatin1Char('*') + appdataSuffix},
                    QDir::Files | QDir::Readable, QDir::Name);
                if (!names.isEmpty())
                    m_folders.append({dir.path(), names});
            }
        }
    }

    std::optional<QString> version(const QString& desktopId) {
        const auto known = m_versions.constFind(desktopId);
        if (known != m_versions.cend())
            return *known;
        std::optional<QString> found;
        for (const Folder& folder : std::as_const(m_folders)) {
            found = versionInFolder(folder, desktopId);
            if (found)
                break;
        }
        m_versions.insert(desktopId, found);
        return found;
    }

private:
    struct Folder {
        QString path;
        QStringList names; // in name order
    };

    std::optional<QString> versionInFolder(const Folder& folder, const QString& desktopId) {
        // The file is usually named after the component: those names first.
        const QString base = withoutDesktopSuffix(desktopId);
        const QStringList preferred{base + metainfoSuffix, base + appdataSuffix,
                                    desktopId + metainfoSuffix, desktopId + appdataSuffix};
        for (const QString& name : preferred) {
            if (!folder.names.contains(name))
                continue;
            if (std::optional<QString> version = versionInFile(folder, name, desktopId))
                return version;
        }
        for (const QString& name : folder.names) {
            if (preferred.contains(name))
                continue;
            if (std::optional<QString> version = versionInFile(folder, name, desktopId))
                return version;
        }
        return std::nullopt;
    }

    std::optional<QString> versionInFile(const Folder& folder, const QString& name,
                                         const QString& desktopId) {
        const QString path = folder.path + QLatin1Char('/') + name;
        auto file = m_files.find(path);
        if (file == m_files.end()) {
            QFile reader(path);
            std::optional<QList<Component>> components;
            if (reader.size() <= maxFileSize && reader.open(QIODevice::ReadOnly))
                components = readComponents(reader.readAll());
            file = m_files.insert(path, components);
        }
        return *file ? versionAmong(**file, desktopId) : std::nullopt;
    }

    QList<Folder> m_folders;
    QHash<QString, std::optional<QList<Component>>> m_files;
    QHash<QString, std::optional<QString>> m_versions;
};

} // namespace

std::optional<QString> newestReleaseVersion(const QByteArray& metainfoXml,
                                            const QString& desktopId) {
    if (desktopId.isEmpty())
        return std::nullopt;
    const std::optional<QList<Component>> components = readComponents(metainfoXml);
    return components ? versionAmong(*components, desktopId) : std::nullopt;
}

std::optional<QString> appStreamReleaseVersion(const QString& desktopId) {
    if (desktopId.isEmpty())
        return std::nullopt;
    // Read once per process: metainfo changes only when software is installed.
    static MetainfoIndex index(
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
    return index.version(desktopId);
}

} // namespace marvoline
