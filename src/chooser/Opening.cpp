#include "main/MainViewController.h"

#include "platform/AppRegistry.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QPointer>

namespace marvoline {

void MainViewController::openWith(const QUrl& appURL, const QList<QUrl>& urls) {
    recordAppUsage(appURL);
    launchInFlight = true;
    QPointer<MainViewController> self(this);
    platform::registry().launch(appURL, urls, [self, appURL](const std::optional<QString>& error) {
        if (!self)
            return;
        self->launchInFlight = false;
        if (error && !self->quitAfterLaunch) {
            self->showLaunchFailure(appURL, *error);
            return;
        }
        Q_EMIT self->terminateRequested();
    });
}

void MainViewController::openFilesAndQuit(const QUrl& appURL) {
    if (launchInFlight || fileURLs.isEmpty())
        return;
    pauseTimer();
    performSetDefaultIfNeeded(fileURLs.first());
    openWith(appURL, fileURLs);
}

void MainViewController::showLaunchFailure(const QUrl& appURL, const QString& error) {
    pauseTimer();
    //% "%1 could not open the files. Choose another application."
    messageLabel->setText(qtTrId("ui.launchFailed").arg(localizedAppName(appURL)));
    messageLabel->setToolTip(error);
    messageLabel->setVisible(true);
    Q_EMIT launchFailed(messageLabel->text());
}

void MainViewController::onPreviewDoubleClick() {
    if (fileURLs.isEmpty() || allAppCandidates.isEmpty())
        return;
    QUrl app = allAppCandidates.first().url;
    for (const AppCandidate& c : allAppCandidates) {
        if (c.isDefault) {
            app = c.url;
            break;
        }
    }
    openFilesAndQuit(app);
}

void MainViewController::onCloseTapped() {
    pauseTimer();
    if (launchInFlight) {
        // Leave once the launch that is under way has finished.
        quitAfterLaunch = true;
        return;
    }
    if (!fileURLs.isEmpty())
        performSetDefaultIfNeeded(fileURLs.first());
    Q_EMIT terminateRequested();
}

} // namespace marvoline
