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

void MainViewController::updateSetDefaultTexts(const QUrl& fileURL) {
    Q_ASSERT(setDefaultButton);
    // The type's own words from the shared MIME database, in the user's language.
    QString description;
    if (const std::optional<QString> type = contentTypeIdentifier(fileURL))
        description = platform::registry().contentTypeDescription(*type).value_or(QString());
    if (description.isEmpty()) {
        //% "Always ask with Marvoline for files of this type"
        setDefaultButton->setText(qtTrId("ui.setDefault.anyType"));
    } else {
        //% "Always ask with Marvoline for every %1"
        setDefaultButton->setText(qtTrId("ui.setDefault").arg(description));
    }

    // Ticking it remembers the application that opens the type now.
    AppRegistry& registry = platform::registry();
    const std::optional<QUrl> current = registry.defaultApplicationForFile(fileURL);
    if (current && registry.bundleIdentifier(*current) != AppRegistry::ownIdentifier()) {
        const QString name = localizedAppName(*current);
        //% "Files of this type will open through Marvoline; it remembers %1 as their default."
        setDefaultButton->setToolTip(qtTrId("ui.setDefault.toolTip").arg(name));
    } else {
        //% "Files of this type will open through Marvoline."
        setDefaultButton->setToolTip(qtTrId("ui.setDefault.toolTipNoDefault"));
    }
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
