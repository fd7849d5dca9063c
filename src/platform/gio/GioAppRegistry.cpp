#include "platform/gio/GioAppRegistry.h"

#include "platform/AppStreamMetainfo.h"
#include "platform/DeferredIcon.h"
#include "platform/FilePaths.h"
#include "platform/RegistryReadScope.h"
#include "platform/gio/GObjectPtr.h"

#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMutex>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>

namespace marvoline {

namespace {

template <typename T> using GObjectPtr = gio::Owned<T, g_object_unref>;
using GObjectListPtr = gio::OwnedFull<GList, g_list_free_full, g_object_unref>;
using GCharPtr = gio::Owned<char, g_free>;

// Whether GIO's entry is one the program uses: GIO itself refuses files that
// are missing, not key files, not of type Application, or whose Exec program
// (or TryExec) is not there, but it loads entries that are hidden (deleted
// by the user), that have no Exec (or one it cannot read), or whose Name is
// missing or not UTF-8 (it calls those "Unnamed").
bool isUsableEntry(GDesktopAppInfo* info) {
    if (g_desktop_app_info_get_is_hidden(info))
        return false;
    const GCharPtr name(g_desktop_app_info_get_string(info, "Name"));
    if (!name)
        return false;
    if (g_app_info_get_commandline(G_APP_INFO(info)))
        return true;
    // Started over D-Bus, an entry needs no Exec.
    return g_desktop_app_info_get_boolean(info, "DBusActivatable");
}

GObjectPtr<GDesktopAppInfo> loadEntry(const QUrl& app) {
    const QByteArray path = localPath(app);
    if (path.isEmpty())
        return {};
    GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(path.constData()));
    if (!info || !isUsableEntry(info.get()))
        return {};
    return info;
}

// The entries GIO made for the last list of a type's applications, by file,
// for the look-up of those same entries that follows the list
// (applicationEntries): each entry is then read once instead of twice. The
// next list or look-up drops them, so none is older than the list in hand.
using ListedEntries = std::map<std::string, GObjectPtr<GDesktopAppInfo>>;
QMutex listedEntriesLock;
ListedEntries lastListedEntries;

std::optional<QString> takeText(char* text) {
    const GCharPtr owned(text);
    if (!text || !*text)
        return std::nullopt;
    return QString::fromUtf8(text);
}

// The file URL of an application's desktop entry; empty when it has none.
QUrl entryUrl(GAppInfo* app) {
    if (!app || !G_IS_DESKTOP_APP_INFO(app))
        return {};
    const char* filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app));
    if (!filename || !*filename)
        return {};
    return fileUrlFromPath(QByteArray(filename));
}

QString identifierOf(GDesktopAppInfo* info) {
    if (const char* id = g_app_info_get_id(G_APP_INFO(info)))
        return QString::fromUtf8(id);
    // An entry outside the applications folders has no desktop file ID of its
    // own; its file name stands in, as GIO does for most such files.
    const char* filename = g_desktop_app_info_get_filename(info);
    const GCharPtr base(g_path_get_basename(filename ? filename : ""));
    return QFile::decodeName(base.get());
}

// The key's value in one of the user's languages; absent when the entry has
// no translation for any of them. GIO's own locale look-up falls back to the
// untranslated value, which would let an untranslated full name win over a
// translated name. The entry keeps the translations into the user's languages
// from its reading, so they are asked for by name ("Name[de]") in the order of
// the user's languages, as GLib's own look-up of a translation does; the
// entry's file is not read a second time.
std::optional<QString> translatedString(GDesktopAppInfo* info, const char* key) {
    for (const char* const* language = g_get_language_names(); language && *language; ++language) {
        const GCharPtr translatedKey(g_strdup_printf("%s[%s]", key, *language));
        // Asked for only when there: GLib makes an error message for every key
        // it is asked for and lacks, and most entries lack most translations.
        if (!g_desktop_app_info_has_key(info, translatedKey.get()))
            continue;
        // Unreadable (not UTF-8): the next language is asked.
        if (char* value = g_desktop_app_info_get_string(info, translatedKey.get()))
            return takeText(value);
    }
    return std::nullopt;
}

// The name the entry is shown under: the translated full name, the translated
// name, then the untranslated ones.
QString displayName(GDesktopAppInfo* info) {
    for (const char* key : {"X-GNOME-FullName", "Name"}) {
        if (std::optional<QString> name = translatedString(info, key))
            return *name;
    }
    for (const char* key : {"X-GNOME-FullName", "Name"}) {
        if (std::optional<QString> name = takeText(g_desktop_app_info_get_string(info, key)))
            return *name;
    }
    return identifierOf(info);
}

// The name the program is installed under.
constexpr std::string_view ownProgramName = "marvoline";

// The file a program path names, links resolved; empty when there is none.
// Byte paths throughout: the names need not be UTF-8.
std::filesystem::path resolvedProgram(const char* path) {
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? std::filesystem::path() : real;
}

// Whether the entry's Exec starts this program: the running executable, by
// whatever path or link it is named, or a program installed under this
// program's name. The Exec is GIO's reading of it (quotes and all).
bool runsThisProgram(GDesktopAppInfo* info) {
    const char* executable = g_app_info_get_executable(G_APP_INFO(info)); // borrowed
    if (!executable || !*executable)
        return false;
    const GCharPtr found(g_find_program_in_path(executable));
    if (!found)
        return false;
    const std::filesystem::path program = resolvedProgram(found.get());
    if (program.empty())
        return false;
    static const std::filesystem::path self = resolvedProgram("/proc/self/exe");
    return program == self || program.filename().native() == ownProgramName ||
           std::filesystem::path(found.get()).filename().native() == ownProgramName;
}

AppBundleInfo bundleInfoOf(GDesktopAppInfo* info) {
    AppBundleInfo bundle;
    bundle.identifier = identifierOf(info);
    bundle.localizedFullName = translatedString(info, "X-GNOME-FullName");
    bundle.localizedName = translatedString(info, "Name");
    if (g_desktop_app_info_has_key(info, "X-GNOME-FullName"))
        bundle.fullName = takeText(g_desktop_app_info_get_string(info, "X-GNOME-FullName"));
    bundle.name = takeText(g_desktop_app_info_get_string(info, "Name"));
    bundle.runsThisProgram = runsThisProgram(info);
    return bundle;
}

// The default application of the type, as GIO reads it.
std::optional<QUrl> readDefault(const QString& type) {
    const GObjectPtr<GAppInfo> app(
        g_app_info_get_default_for_type(type.toUtf8().constData(), FALSE));
    const QUrl url = entryUrl(app.get());
    if (url.isEmpty())
        return std::nullopt;
    // Whether the chooser is the default is asked next, by the entry's identifier.
    auto* info = G_DESKTOP_APP_INFO(app.get());
    RegistryReadScope::keep(&RegistryReadScope::Readings::identifiers, url.toString(),
                            isUsableEntry(info) ? std::optional(identifierOf(info)) : std::nullopt);
    return url;
}

std::optional<QString> readIdentifier(const QUrl& app) {
    const GObjectPtr<GDesktopAppInfo> info = loadEntry(app);
    return info ? std::optional(identifierOf(info.get())) : std::nullopt;
}

std::optional<AppBundleInfo> readBundleInfo(const QUrl& app) {
    const GObjectPtr<GDesktopAppInfo> info = loadEntry(app);
    return info ? std::optional(bundleInfoOf(info.get())) : std::nullopt;
}

// Made once: the bundled fallback is an SVG, parsed when the icon is made.
QIcon genericApplicationIcon() {
    static const QIcon icon = QIcon::fromTheme(QStringLiteral("application-x-executable"),
                                               QIcon(QStringLiteral(":/icons/application.svg")));
    return icon;
}

// Where an application's icon comes from: theme names to try in order, or an
// image file.
struct IconSource {
    QStringList names;
    QByteArray file;
};

IconSource iconSourceOf(GAppInfo* app) {
    IconSource source;
    GIcon* icon = g_app_info_get_icon(app); // owned by the application
    if (icon && G_IS_THEMED_ICON(icon)) {
        const char* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        for (; names && *names; ++names)
            source.names.append(QString::fromUtf8(*names));
    } else if (icon && G_IS_FILE_ICON(icon)) {
        const GCharPtr path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
        if (path)
            source.file = QByteArray(path.get());
    }
    return source;
}

QIcon iconFrom(const IconSource& source) {
    for (const QString& name : source.names) {
        const QIcon themed = QIcon::fromTheme(name);
        if (!themed.isNull())
            return themed;
    }
    const QString file = QFile::decodeName(source.file);
    if (!file.isEmpty() && QFileInfo(file).isFile() && QImageReader(file).canRead())
        return QIcon(file);
    return genericApplicationIcon();
}

// Looked up in the theme when first drawn: a type with many applications
// shows a few of them in the row, the rest only when the menu is opened.
QIcon iconOf(GAppInfo* app) {
    return deferredIcon([source = iconSourceOf(app)] { return iconFrom(source); });
}

} // namespace

GioAppRegistry::GioAppRegistry() = default;
GioAppRegistry::~GioAppRegistry() = default;

QList<QUrl> GioAppRegistry::applicationsForFile(const QUrl& file) {
    const std::optional<QString> type = contentType(file);
    if (!type)
        return {};
    const GObjectListPtr apps(g_app_info_get_all_for_type(type->toUtf8().constData()));
    QList<QUrl> urls;
    ListedEntries listed;
    for (GList* item = apps.get(); item; item = item->next) {
        const QUrl url = entryUrl(G_APP_INFO(item->data));
        if (url.isEmpty())
            continue;
        urls.append(url);
        auto* info = G_DESKTOP_APP_INFO(item->data);
        listed.emplace(g_desktop_app_info_get_filename(info),
                       GObjectPtr<GDesktopAppInfo>(G_DESKTOP_APP_INFO(g_object_ref(info))));
    }
    const QMutexLocker locker(&listedEntriesLock);
    lastListedEntries = std::move(listed);
    return urls;
}

std::optional<QUrl> GioAppRegistry::defaultApplicationForFile(const QUrl& file) {
    const std::optional<QString> type = contentType(file);
    if (!type)
        return std::nullopt;
    return RegistryReadScope::remembered(&RegistryReadScope::Readings::defaults, *type,
                                         [&type] { return readDefault(*type); });
}

std::optional<QString> GioAppRegistry::bundleIdentifier(const QUrl& app) {
    return RegistryReadScope::remembered(&RegistryReadScope::Readings::identifiers, app.toString(),
                                         [&app] { return readIdentifier(app); });
}

std::optional<AppBundleInfo> GioAppRegistry::bundleInfo(const QUrl& app) {
    return RegistryReadScope::remembered(&RegistryReadScope::Readings::entries, app.toString(),
                                         [&app] { return readBundleInfo(app); });
}

std::optional<QString> GioAppRegistry::shortVersion(const QUrl& app) {
    const std::optional<QString> id = bundleIdentifier(app);
    if (!id)
        return std::nullopt;
    return appStreamReleaseVersion(*id);
}

QIcon GioAppRegistry::applicationIcon(const QUrl& app) {
    const GObjectPtr<GDesktopAppInfo> info = loadEntry(app);
    if (!info)
        return genericApplicationIcon();
    return iconOf(G_APP_INFO(info.get()));
}

QList<std::optional<AppEntry>> GioAppRegistry::applicationEntries(const QList<QUrl>& apps) {
    ListedEntries listed;
    {
        const QMutexLocker locker(&listedEntriesLock);
        listed = std::exchange(lastListedEntries, {});
    }
    QList<std::optional<AppEntry>> entries;
    entries.reserve(apps.size());
    for (const QUrl& app : apps) {
        GObjectPtr<GDesktopAppInfo> info;
        if (const auto found = listed.find(localPath(app).toStdString());
            found != listed.end() && found->second) {
            info = std::move(found->second);
            if (!isUsableEntry(info.get()))
                info.reset();
        } else {
            info = loadEntry(app);
        }
        std::optional<AppBundleInfo> bundle;
        if (info) {
            bundle = bundleInfoOf(info.get());
            entries.append(AppEntry{*bundle, iconOf(G_APP_INFO(info.get()))});
        } else {
            entries.append(std::nullopt);
        }
        // The default's names and identifier are asked again while the row is made.
        RegistryReadScope::keep(&RegistryReadScope::Readings::identifiers, app.toString(),
                                bundle ? std::optional(bundle->identifier) : std::nullopt);
        RegistryReadScope::keep(&RegistryReadScope::Readings::entries, app.toString(),
                                std::move(bundle));
    }
    return entries;
}

std::optional<QUrl> GioAppRegistry::applicationForIdentifier(const QString& desktopId) {
    if (desktopId.isEmpty())
        return std::nullopt;
    const GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new(desktopId.toUtf8().constData()));
    if (!info || !isUsableEntry(info.get()))
        return std::nullopt;
    const QUrl url = entryUrl(G_APP_INFO(info.get()));
    if (url.isEmpty())
        return std::nullopt;
    return url;
}

QList<InstalledApp> GioAppRegistry::allApplications() {
    const GObjectListPtr apps(g_app_info_get_all());
    QList<InstalledApp> installed;
    for (GList* item = apps.get(); item; item = item->next) {
        GAppInfo* app = G_APP_INFO(item->data);
        if (!G_IS_DESKTOP_APP_INFO(app) || !g_app_info_should_show(app) ||
            !isUsableEntry(G_DESKTOP_APP_INFO(app)))
            continue;
        // Picking the chooser would only bring it back.
        const char* id = g_app_info_get_id(app); // borrowed
        if ((id && QString::fromUtf8(id) == ownIdentifier()) ||
            runsThisProgram(G_DESKTOP_APP_INFO(app)))
            continue;
        const QUrl url = entryUrl(app);
        if (url.isEmpty())
            continue;
        QStringList keywords;
        // Borrowed: the entry owns the list.
        if (const char* const* words = g_desktop_app_info_get_keywords(G_DESKTOP_APP_INFO(app))) {
            for (; *words; ++words)
                keywords.append(QString::fromUtf8(*words));
        }
        IconSource icon = iconSourceOf(app);
        installed.append({url, displayName(G_DESKTOP_APP_INFO(app)), QIcon(),
                          id ? QString::fromUtf8(id) : QString(), keywords, std::move(icon.names),
                          std::move(icon.file)});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(installed.begin(), installed.end(),
                     [&collator](const InstalledApp& a, const InstalledApp& b) {
                         if (const int order = collator.compare(a.name, b.name); order != 0)
                             return order < 0;
                         return localPath(a.url) < localPath(b.url);
                     });
    return installed;
}

QIcon GioAppRegistry::installedAppIcon(const InstalledApp& app) {
    return iconFrom({app.iconNames, app.iconFile});
}

} // namespace marvoline
