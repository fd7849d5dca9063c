// The values the chooser keeps across runs, and the content types they are
// keyed by.

#include "handlers/AppPaths.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"

#include <QJsonObject>
#include <QJsonValue>

#include <limits>

namespace marvoline {

namespace {

// A count as stored: a JSON number with an integral value that fits in a
// 64-bit signed integer.
std::optional<qint64> storedCount(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() yields its default for fractions and out-of-range numbers;
    // two different defaults tell those apart from a stored 0 or 1.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        return std::nullopt;
    return a;
}

// The well-formed entries of the usage dictionary. An entry that is not a
// count ("5", 2.5, 1e300) is dropped on its own: one bad value must not cost
// every other application its count.
QJsonObject usageCounts(const QJsonValue& stored) {
    if (!stored.isObject())
        return {};
    QJsonObject counts = stored.toObject();
    for (auto it = counts.begin(); it != counts.end();) {
        if (storedCount(it.value()))
            ++it;
        else
            it = counts.erase(it);
    }
    return counts;
}

} // namespace

void MainViewController::recordAppUsage(const QUrl& appURL) {
    const QString path = applicationPath(appURL);
    if (path.isEmpty())
        return;
    // One locked read-modify-write, so that choosers counting at the same time
    // lose none of each other's uses; made on the store's writer thread, since
    // the lock may be held for long by another host. A lost write is not the
    // caller's concern.
    PreferencesStore::standard().updateInBackground([path](QJsonObject& prefs) {
        QJsonObject counts = usageCounts(prefs.value(appUsageKey));
        const qint64 current = storedCount(counts.value(path)).value_or(0);
        const qint64 next = current < std::numeric_limits<qint64>::max() ? current + 1 : current;
        counts.insert(path, next);
        prefs.insert(appUsageKey, counts);
    });
}

std::optional<QString> MainViewController::contentTypeIdentifier(const QUrl& fileURL) {
    return platform::registry().contentType(fileURL);
}

const QStringList& MainViewController::imageContentTypes() {
    static const QStringList types{
        QStringLiteral("image/png"),  QStringLiteral("image/jpeg"), QStringLiteral("image/gif"),
        QStringLiteral("image/tiff"), QStringLiteral("image/*"),
    };
    return types;
}

const QStringList& MainViewController::imageViewerIdentifiers() {
    static const QStringList ids{
        QStringLiteral("org.gnome.Loupe.desktop"),
        QStringLiteral("org.gnome.eog.desktop"),
        QStringLiteral("eog.desktop"),
        QStringLiteral("org.kde.gwenview.desktop"),
        QStringLiteral("org.xfce.ristretto.desktop"),
        QStringLiteral("ristretto.desktop"),
        QStringLiteral("org.gnome.gThumb.desktop"),
    };
    return ids;
}

} // namespace marvoline
