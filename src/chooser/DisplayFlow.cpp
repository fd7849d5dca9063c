#include "main/MainViewController.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QTimer>

namespace marvoline {

void MainViewController::configure(const QList<QUrl>& urls, bool openAsContext, bool skip) {
    fileURLs = urls;
    isOpenAsContext = openAsContext;
    skipTimer = skip;
}

void MainViewController::showFiles() {
    if (fileURLs.isEmpty())
        return;
    Q_ASSERT(timerSectionStack && setDefaultButton && copyPopUp);
    const QUrl first = fileURLs.first();

    messageLabel->clear();
    messageLabel->setVisible(false);

    setupPreview(first);

    const QList<AppCandidate> candidates = loadAppCandidates(first);
    populateAppButtons(candidates, first);
    focusDefaultTile();
    buildCopyMenu(copyPopUp);

    // Fill the row once more when the band has its final width, unless as
    // many tiles fitted already.
    QTimer::singleShot(0, this, [this, first] {
        const auto total = int(allAppCandidates.size());
        if (total > 0 && tilesThatFit(rowWidth(), total) != total - overflowApps.size())
            populateAppButtons(allAppCandidates, first);
    });

    std::optional<QUrl> defaultApp;
    for (const AppCandidate& c : allAppCandidates) {
        if (c.isDefault) {
            defaultApp = c.url;
            break;
        }
    }
    if (!defaultApp && !allAppCandidates.isEmpty())
        defaultApp = allAppCandidates.first().url;
    if (!defaultApp)
        defaultApp = previewAppForImageIfMissing(first, {});

    timerSectionStack->setVisible(!skipTimer);
    setDefaultButton->setVisible(isOpenAsContext && !skipTimer);
    if (isOpenAsContext && !skipTimer)
        updateSetDefaultTexts(first);
    keepRoomForOptionsRow();

    if (!skipTimer) {
        startTimer(first, defaultApp);
    } else if (timer) {
        timer->stop();
    }
}

} // namespace marvoline
