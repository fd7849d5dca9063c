// Which application counts as the default for a file: the registry's default,
// or, once the chooser itself is that default, the application remembered as
// the default before it, or a fallback from the candidate list.

#include "handlers/AppPaths.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"

#include <QFile>
#include <QJsonObject>

namespace marvoline {

std::optional<QUrl> MainViewController::loadPreviousDefault(const QUrl& fileURL) const {
    const std::optional<QString> type = contentTypeIdentifier(fileURL);
    if (!type)
        return std::nullopt;
    QStringList types{*type};
    if (imageContentTypes().contains(*type))
        types.append(QStringLiteral("image/*"));

    const QJsonObject prefs = PreferencesStore::standard().read();
    for (const QString& t : types) {
        const QJsonValue stored = prefs.value(previousDefaultKeyPrefix + t);
        if (!stored.isString())
            continue;
        const QByteArray path = QFile::encodeName(stored.toString());
        // Only an absolute path names an application; anything else in the
        // store is not ours to interpret. One whose entry is no longer
        // loadable (removed, hidden by the user) is not offered, nor one that
        // would start the chooser again every five seconds.
        if (!path.startsWith('/'))
            continue;
        const QUrl app = fileUrlFromPath(path);
        const std::optional<AppBundleInfo> info = platform::registry().bundleInfo(app);
        if (!info || AppRegistry::startsTheChooser(*info))
            continue;
        return app;
    }
    return std::nullopt;
}

std::optional<QUrl> MainViewController::fallbackDefaultApp(const QUrl& fileURL,
                                                           const QList<QUrl>& apps) const {
    if (apps.isEmpty())
        return std::nullopt;
    const std::optional<QString> type = contentTypeIdentifier(fileURL);
    if (type && imageContentTypes().contains(*type)) {
        AppRegistry& registry = platform::registry();
        for (const QUrl& app : apps) {
            const std::optional<QString> id = registry.bundleIdentifier(app);
            if (id && imageViewerIdentifiers().contains(*id))
                return app;
        }
    }
    return apps.first();
}

std::optional<QUrl> MainViewController::initialDefaultApp(const QUrl& fileURL,
                                                          const QList<QUrl>& apps) const {
    AppRegistry& registry = platform::registry();
    const std::optional<QUrl> systemDefault = registry.defaultApplicationForFile(fileURL);
    const std::optional<AppBundleInfo> systemInfo =
        systemDefault ? registry.bundleInfo(*systemDefault) : std::nullopt;
    if (systemInfo && AppRegistry::startsTheChooser(*systemInfo)) {
        // The chooser handles this type itself: offer what it replaced.
        if (std::optional<QUrl> previous = loadPreviousDefault(fileURL))
            return previous;
        return fallbackDefaultApp(fileURL, apps);
    }
    return systemDefault;
}

std::optional<QUrl> MainViewController::typeDefaultApp(const QUrl& fileURL) const {
    // As the row decides it: the registry's applications without the chooser,
    // the registry's default unless that is the chooser, in which case the
    // remembered previous default, then the fallback among the others.
    AppRegistry& registry = platform::registry();
    QList<QUrl> offered;
    for (const QUrl& app : registry.applicationsForFile(fileURL)) {
        const std::optional<AppBundleInfo> info = registry.bundleInfo(app);
        if (info && !AppRegistry::startsTheChooser(*info) && !containsApplication(offered, app))
            offered.append(app);
    }
    const std::optional<QUrl> initial = initialDefaultApp(fileURL, offered);
    // One that is not loadable would fail to start; the row leaves it out too.
    if (initial && registry.bundleIdentifier(*initial))
        return initial;
    return fallbackDefaultApp(fileURL, offered);
}

std::optional<QUrl> MainViewController::finalDefaultApp(const QUrl& fileURL,
                                                        const std::optional<QUrl>& initial,
                                                        const QList<QUrl>& list) const {
    if (initial && containsApplication(list, *initial))
        return initial;
    return fallbackDefaultApp(fileURL, list);
}

} // namespace marvoline
