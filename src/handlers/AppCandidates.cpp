// The applications offered for the file on show, in display order: the
// default first, then those the registry did not list but that belong in the
// list (the remembered default, the system image viewer), then the registry's
// own order.

#include "handlers/AppPaths.h"
#include "handlers/CandidateList.h"
#include "main/ChoiceReceiver.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/AppStreamMetainfo.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"

#include <QHash>
#include <QSet>

namespace marvoline {

namespace {

// The entries read for one list, by URL; absent for those not loadable.
using EntryTable = QHash<QUrl, std::optional<AppEntry>>;

// Reads the entries of the applications not read yet, in one registry call.
void readEntries(AppRegistry& registry, EntryTable& table, const QList<QUrl>& apps) {
    QList<QUrl> unread;
    for (const QUrl& app : apps) {
        if (table.contains(app))
            continue;
        table.insert(app, std::nullopt);
        unread.append(app);
    }
    const QList<std::optional<AppEntry>> entries = registry.applicationEntries(unread);
    for (qsizetype i = 0; i < unread.size() && i < entries.size(); ++i)
        table[unread.at(i)] = entries.at(i);
}

// The registry's answer without the chooser itself (its own entry or another
// that runs this program), without entries that are not loadable desktop
// entries, and with every application once: should the registry name one path
// twice, the later mention is dropped, so the list never shows one application
// on two buttons and has a single default.
QList<QUrl> offeredApplications(const EntryTable& table, const QList<QUrl>& answer) {
    QList<QUrl> apps;
    QSet<QString> paths;
    for (const QUrl& app : answer) {
        const std::optional<AppEntry> entry = table.value(app);
        if (!entry || AppRegistry::startsTheChooser(entry->info))
            continue;
        const QString path = applicationPath(app);
        if (paths.contains(path))
            continue;
        paths.insert(path);
        apps.append(app);
    }
    return apps;
}

// The name an application is shown under: the localized full name, the
// localized name, then the unlocalized ones; for an entry that is not
// loadable, or one without a name, its file name.
QString nameOf(const std::optional<AppBundleInfo>& info, const QUrl& appURL) {
    if (info) {
        for (const std::optional<QString>* name :
             {&info->localizedFullName, &info->localizedName, &info->fullName, &info->name}) {
            if (*name)
                return **name;
        }
    }
    QString name = displayFileName(appURL);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return name;
}

// The candidates of the list in its order, named as the row shows them, the
// final default marked.
QList<AppCandidate> candidatesInOrder(AppRegistry& registry, EntryTable& table,
                                      const QList<QUrl>& list,
                                      const std::optional<QUrl>& finalDefault) {
    readEntries(registry, table, list);
    QStringList names;
    names.reserve(list.size());
    QHash<QString, int> nameCounts;
    for (const QUrl& app : list) {
        const std::optional<AppEntry>& entry = table[app];
        names.append(nameOf(entry ? std::optional(entry->info) : std::nullopt, app));
        ++nameCounts[names.last()];
    }

    QList<AppCandidate> candidates;
    candidates.reserve(list.size());
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QUrl& app = list.at(i);
        const std::optional<AppEntry>& entry = table[app];
        AppCandidate candidate;
        candidate.url = app;
        candidate.name = names.at(i);
        if (entry && nameCounts.value(candidate.name) > 1)
            candidate.version = appStreamReleaseVersion(entry->info.identifier);
        candidate.icon = entry ? entry->icon : registry.applicationIcon(app);
        candidate.isDefault = finalDefault && isSameApplication(app, *finalDefault);
        candidates.append(candidate);
    }
    return candidates;
}

} // namespace

QList<AppCandidate> appCandidatesFromAnswer(const MainViewController& controller,
                                            const QUrl& fileURL, const QList<QUrl>& answer) {
    AppRegistry& registry = platform::registry();
    EntryTable table;
    readEntries(registry, table, answer);
    const QList<QUrl> apps = offeredApplications(table, answer);

    const std::optional<QUrl> initial = controller.initialDefaultApp(fileURL, apps);

    // An application "exists" when its entry is loadable: a file that is there
    // but hidden (the user's "deleted" mask) or broken would be counted down
    // to and then fail to start.
    QList<QUrl> extras;
    if (initial && !containsApplication(apps, *initial) && registry.bundleIdentifier(*initial))
        extras.append(*initial);
    if (const std::optional<QUrl> viewer = controller.previewAppForImageIfMissing(fileURL, apps);
        viewer && !containsApplication(extras, *viewer))
        extras.append(*viewer);

    QList<QUrl> list = apps;
    for (auto it = extras.crbegin(); it != extras.crend(); ++it) {
        if (!containsApplication(list, *it))
            list.prepend(*it);
    }

    const std::optional<QUrl> finalDefault = controller.finalDefaultApp(fileURL, initial, list);
    if (finalDefault) {
        const qsizetype at = indexOfApplication(list, *finalDefault);
        if (at >= 0) {
            list.removeAt(at);
            list.prepend(*finalDefault);
        }
    }

    return candidatesInOrder(registry, table, list, finalDefault);
}

QList<AppCandidate> MainViewController::offeredAppCandidates() const {
    AppRegistry& registry = platform::registry();
    const QList<QUrl> given =
        m_choiceReceiver ? m_choiceReceiver->offeredApplications() : QList<QUrl>();
    EntryTable table;
    readEntries(registry, table, given);
    const QList<QUrl> apps = offeredApplications(table, given);
    return candidatesInOrder(registry, table, apps,
                             apps.isEmpty() ? std::nullopt : std::optional(apps.first()));
}

QList<AppCandidate> MainViewController::loadAppCandidates(const QUrl& fileURL) const {
    if (m_choiceReceiver)
        return offeredAppCandidates();
    return appCandidatesFromAnswer(*this, fileURL,
                                   platform::registry().applicationsForFile(fileURL));
}

QString MainViewController::localizedAppName(const QUrl& appURL) const {
    return nameOf(platform::registry().bundleInfo(appURL), appURL);
}

std::optional<QUrl> MainViewController::previewAppForImageIfMissing(const QUrl& fileURL,
                                                                    const QList<QUrl>& apps) const {
    const std::optional<QString> type = contentTypeIdentifier(fileURL);
    if (!type || !imageContentTypes().contains(*type))
        return std::nullopt;
    AppRegistry& registry = platform::registry();
    for (const QUrl& app : apps) {
        const std::optional<QString> id = registry.bundleIdentifier(app);
        if (id && imageViewerIdentifiers().contains(*id))
            return std::nullopt;
    }
    for (const QString& id : imageViewerIdentifiers()) {
        const std::optional<QUrl> viewer = registry.applicationForIdentifier(id);
        const std::optional<AppBundleInfo> info =
            viewer ? registry.bundleInfo(*viewer) : std::nullopt;
        if (info && !AppRegistry::startsTheChooser(*info))
            return viewer;
    }
    return std::nullopt;
}

} // namespace marvoline
