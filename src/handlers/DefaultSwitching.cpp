// Making the chooser the default application for the type of the file on show,
// remembering the application it replaces.

#include "handlers/AppPaths.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"

#include <QCheckBox>
#include <QJsonObject>
#include <QLabel>

namespace marvoline {

void MainViewController::performSetDefaultIfNeeded(const QUrl& fileURL) {
    // A failure said on an earlier way out does not hold back this one.
    m_switchFailed = false;
    if (!isOpenAsContext)
        return;
    Q_ASSERT(setDefaultButton);
    if (!setDefaultButton || !setDefaultButton->isChecked())
        return;

    // The default in force now is read before anything changes it.
    AppRegistry& registry = platform::registry();
    std::optional<QUrl> previous = registry.defaultApplicationForFile(fileURL);
    if (previous && registry.bundleIdentifier(*previous) == AppRegistry::ownIdentifier())
        previous.reset();
    const std::optional<QString> type = contentTypeIdentifier(fileURL);

    // The preferences may be locked by another process for seconds, and GIO
    // may need a moment to index the entry it is given: both are waited for
    // on the writer thread, in the order of the other writes.
    ++m_pendingSwitches;
    PreferencesStore::runInBackground(
        [fileURL, previous, type] {
            // Without the remembered default the switch would lose it: then
            // nothing is switched.
            if (previous && !savePreviousDefault(fileURL, *previous))
                return false;
            AppRegistry& gio = platform::registry();
            gio.registerOwnApplication();
            // Only the exact type is switched; the other image types keep
            // their handlers.
            return !type || gio.setOwnApplicationAsDefault(*type);
        },
        this, [this](bool ok) { onDefaultSwitched(ok); });
}

void MainViewController::onDefaultSwitched(bool ok) {
    --m_pendingSwitches;
    if (!ok) {
        m_switchFailed = true;
        m_leaveAfterSwitch.reset();
        showSetDefaultFailure();
        return;
    }
    if (m_pendingSwitches == 0 && m_leaveAfterSwitch) {
        const QList<QUrl> files = *m_leaveAfterSwitch;
        m_leaveAfterSwitch.reset();
        leave(files);
    }
}

void MainViewController::leave(const QList<QUrl>& files) {
    // Files that arrived meanwhile are on show now: they are not left behind.
    if (files != fileURLs)
        return;
    if (launchInFlight) {
        quitAfterLaunch = true;
        return;
    }
    if (m_pendingSwitches > 0) {
        m_leaveAfterSwitch = files;
        return;
    }
    if (m_switchFailed)
        return;
    Q_EMIT terminateRequested();
}

void MainViewController::showSetDefaultFailure() {
    pauseTimer();
    // Unticked, so that the next way out leaves; ticking it again tries again.
    setDefaultButton->setChecked(false);
    //% "Marvoline could not be made the default for these files."
    messageLabel->setText(qtTrId("ui.setDefault.failed"));
    //% "The preferences cannot be saved, or the desktop refused the change."
    messageLabel->setToolTip(qtTrId("ui.setDefault.failedReason"));
    messageLabel->setVisible(true);
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

bool MainViewController::savePreviousDefault(const QUrl& fileURL, const QUrl& appURL) {
    const std::optional<QString> type = contentTypeIdentifier(fileURL);
    if (!type)
        return true;
    const QString path = applicationPath(appURL);
    if (path.isEmpty())
        return true;
    // Both keys in one write.
    return PreferencesStore::standard().update([&](QJsonObject& prefs) {
        prefs.insert(previousDefaultKeyPrefix + *type, path);
        if (imageContentTypes().contains(*type))
            prefs.insert(previousDefaultKeyPrefix + QStringLiteral("image/*"), path);
    });
}

} // namespace marvoline
