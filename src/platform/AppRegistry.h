#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace marvoline {

// What a desktop entry declares about its application. The localized values
// are the entry's translations for the current locale (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG); absent when it has none for that locale.
struct AppBundleInfo {
    QString identifier;                       // desktop file ID, e.g. "org.gnome.eog.desktop"
    std::optional<QString> localizedFullName; // X-GNOME-FullName[locale]
    std::optional<QString> localizedName;     // Name[locale]
    std::optional<QString> fullName;          // X-GNOME-FullName
    std::optional<QString> name;              // Name
    // Its Exec starts this program, under another desktop file ID than the
    // program's own (a copy of the entry, one made by hand or by a desktop).
    bool runsThisProgram = false;
};

// What the candidate list shows of an application, from one reading of its
// desktop entry.
struct AppEntry {
    AppBundleInfo info;
    QIcon icon; // the entry's icon, or a generic application icon
};

// An application of the picker that lists every installed application.
struct InstalledApp {
    QUrl url; // file URL of the desktop entry
    QString name;
    QIcon icon;           // null until AppRegistry::installedAppIcon() made it
    QString identifier;   // desktop file ID
    QStringList keywords; // the entry's Keywords, localized
    // Where the icon comes from: theme names to try in order, or an image file.
    QStringList iconNames;
    QByteArray iconFile;
};

// The desktop's application registry. An application is named by the file URL
// of its desktop entry; two application URLs are the same application when
// their paths are equal strings. All calls are synchronous except launch().
class AppRegistry {
public:
    using LaunchCallback = std::function<void(const std::optional<QString>& error)>;

    virtual ~AppRegistry() = default;

    // The program's own desktop file ID.
    static QString ownIdentifier() { return QStringLiteral("org.marvoline.Marvoline.desktop"); }
    // Whether the entry starts the chooser again: the program's own entry or
    // any other that runs this program. Such an entry is never offered, nor
    // counted down to.
    static bool startsTheChooser(const AppBundleInfo& info) {
        return info.identifier == ownIdentifier() || info.runsThisProgram;
    }

    // Every application that can open the file (recommended, then fallback), in
    // the registry's order; empty when the file's type is unknown.
    virtual QList<QUrl> applicationsForFile(const QUrl& file) = 0;
    // The application that opens the file by default.
    virtual std::optional<QUrl> defaultApplicationForFile(const QUrl& file) = 0;
    // The desktop file ID of the entry at the URL; absent when the file is not a
    // loadable desktop entry (missing, malformed, no Exec, Hidden, ...).
    virtual std::optional<QString> bundleIdentifier(const QUrl& app) = 0;
    // Identifier and names of the entry; absent when it is not loadable.
    virtual std::optional<AppBundleInfo> bundleInfo(const QUrl& app) = 0;
    // The newest release version in the application's AppStream metainfo.
    virtual std::optional<QString> shortVersion(const QUrl& app) = 0;
    // The entry's icon, or a generic application icon.
    virtual QIcon applicationIcon(const QUrl& app) = 0;
    // Identifier, names and icon of each entry, in the order given, reading
    // each file once; absent for a URL that is not a loadable entry.
    virtual QList<std::optional<AppEntry>> applicationEntries(const QList<QUrl>& apps) = 0;
    // The entry installed under the desktop file ID, if any.
    virtual std::optional<QUrl> applicationForIdentifier(const QString& desktopId) = 0;
    // Every installed application that should be shown in menus, by name,
    // without the chooser itself. Safe to call on any thread (it may wait long
    // on a desktop entry that is a FIFO); the icons are left null.
    virtual QList<InstalledApp> allApplications() = 0;
    // The icon of an application of allApplications(), or a generic
    // application icon; on the window's thread, as icon themes need.
    virtual QIcon installedAppIcon(const InstalledApp& app) = 0;

    // Makes sure the program's own desktop entry can be found by its ID.
    virtual void registerOwnApplication() = 0;
    // Makes the program the default application of the content type; true when
    // the registry names it as default afterwards.
    virtual bool setOwnApplicationAsDefault(const QString& contentType) = 0;

    // The canonical MIME type of the file; absent when it cannot be queried.
    virtual std::optional<QString> contentType(const QUrl& file) = 0;
    // Whether the type equals the other or is a subclass of it (aliases too).
    virtual bool contentTypeIsA(const QString& type, const QString& supertype) = 0;
    // The type's description from the shared MIME database in the user's
    // language ("PDF document"); absent for unknown data, whose description
    // names no type.
    virtual std::optional<QString> contentTypeDescription(const QString& type) = 0;
    // Whether some application handles URIs of the scheme ("mailto").
    virtual bool handlesUriScheme(const QString& scheme) = 0;

    // Starts the application with the files (all in one call, in order). The
    // callback runs on the main thread once the launch has finished, with an
    // error text when it failed.
    virtual void launch(const QUrl& app, const QList<QUrl>& files, LaunchCallback done) = 0;
};

} // namespace marvoline
