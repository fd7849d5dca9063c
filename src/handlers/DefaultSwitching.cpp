// Making the chooser the default application for the type of the file on show,
// remembering the application it replaces.

#include "handlers/AppPaths.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"

#include <QCheckBox>
#include <QJsonObject>

namespace marvoline {

void MainViewController::performSetDefaultIfNeeded(const QUrl& fileURL) {
    if (!isOpenAsContext)
        return;
    Q_ASSERT(setDefaultButton);
    if (!setDefaultButton || !setDefaultButton->isChecked())
        return;

    AppRegistry& registry = platform::registry();
    const QString own = AppRegistry::ownIdentifier();
    if (const std::optional<QUrl> current = registry.defaultApplicationForFile(fileURL)) {
        if (registry.bundleIdentifier(*current) != own)
            savePreviousDefault(fileURL, *current);
    }

    registry.registerOwnApplication();

    const std::optional<QString> type = contentTypeIdentifier(fileURL);
    if (!type)
        return;
    // Only the exact type is switched; the other image types keep their handlers.
    registry.setOwnApplicationAsDefault(*type);
}

void MainViewController::savePreviousDefault(const QUrl& fileURL, const QUrl& appURL) {
    const std::optional<QString> type = contentTypeIdentifier(fileURL);
    if (!type)
        return;
    const QString path = applicationPath(appURL);
    if (path.isEmpty())
        return;
    // Both keys in one write. When the preferences cannot be saved the entry is
    // lost; the chooser carries on all the same.
    PreferencesStore::standard().update([&](QJsonObject& prefs) {
        prefs.insert(previousDefaultKeyPrefix + *type, path);
        if (imageContentTypes().contains(*type))
            prefs.insert(previousDefaultKeyPrefix + QStringLiteral("image/*"), path);
    });
}

} // namespace marvoline
