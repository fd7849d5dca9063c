#include "main/MainViewController.h"

#include "handlers/AppPaths.h"
#include "platform/AppRegistry.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QPointer>
#include <QTextDocument>

namespace marvoline {

void MainViewController::openWith(const QUrl& appURL, const QList<QUrl>& urls) {
    if (m_choiceReceiver) {
        handOverChoice(appURL);
        return;
    }
    recordAppUsage(appURL);
    launchInFlight = true;
    Q_EMIT launchStarted();
    QPointer<MainViewController> self(this);
    platform::registry().launch(appURL, urls, [self, appURL](const std::optional<QString>& error) {
        if (!self)
            return;
        self->launchInFlight = false;
        if (error && !self->quitAfterLaunch) {
            self->showLaunchFailure(appURL, *error);
            return;
        }
        self->leave(self->fileURLs);
    });
}

void MainViewController::openFilesAndQuit(const QUrl& appURL) {
    if (launchInFlight || fileURLs.isEmpty())
        return;
    pauseTimer();
    performSetDefaultIfNeeded(fileURLs.first());
    openWith(appURL, fileURLs);
}

QString MainViewController::shownAppName(const QUrl& appURL) const {
    // The entry may have changed or gone since the row was built: the message
    // names the application as its tile does.
    for (const AppCandidate& candidate : allAppCandidates) {
        if (isSameApplication(candidate.url, appURL))
            return candidate.name;
    }
    return localizedAppName(appURL);
}

void MainViewController::showLaunchFailure(const QUrl& appURL, const QString& error) {
    pauseTimer();
    //% "%1 could not open the files. Choose another application."
    messageLabel->setText(qtTrId("ui.launchFailed").arg(shownAppName(appURL)));
    // Tool tips guess the format; GIO's error text quotes the entry's name.
    messageLabel->setToolTip(Qt::convertFromPlainText(error));
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
    if (m_choiceReceiver) {
        handOverCancel();
        return;
    }
    if (launchInFlight) {
        // Leave once the launch that is under way has finished.
        quitAfterLaunch = true;
        return;
    }
    if (!fileURLs.isEmpty())
        performSetDefaultIfNeeded(fileURLs.first());
    leave(fileURLs);
}

} // namespace marvoline
