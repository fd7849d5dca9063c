#include "main/MainViewController.h"
#include "platform/RegistryReadScope.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTimer>

namespace marvoline {

void MainViewController::configure(const QList<QUrl>& urls, bool openAsContext, bool skip,
                                   const std::optional<QUrl>& ruleApp) {
    // A dialog or menu still open was opened for the files on show; answered
    // later, it would act on files that are no longer there, and the new ones
    // would be lost with them.
    cancelDialogsAndMenus();
    fileURLs = urls;
    // A choice handed over makes no default here.
    isOpenAsContext = openAsContext && !m_choiceReceiver;
    skipTimer = skip;
    ruleCountdownApp = ruleApp;
}

void MainViewController::cancelDialogsAndMenus() {
    // Dialogs are children of the chooser window, menus of the controls that
    // open them. Rejecting a dialog may close or delete others (a dialog's
    // own dialogs), hence the guards.
    QWidget* top = window();
    QList<QPointer<QDialog>> dialogs;
    for (QDialog* dialog : top->findChildren<QDialog*>()) {
        if (dialog->isVisible())
            dialogs.append(dialog);
    }
    QList<QPointer<QMenu>> menus;
    for (QMenu* menu : top->findChildren<QMenu*>()) {
        if (menu->isVisible())
            menus.append(menu);
    }
    // The innermost first, so that each closes before the one it came from.
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
        if (*it && (*it)->isVisible())
            (*it)->reject();
    }
    for (auto it = menus.rbegin(); it != menus.rend(); ++it) {
        if (*it && (*it)->isVisible())
            (*it)->close();
    }
}

void MainViewController::showFiles() {
    if (fileURLs.isEmpty())
        return;
    Q_ASSERT(timerSectionStack && setDefaultButton && copyPopUp);
    const QUrl first = fileURLs.first();
    // The steps below ask the registry about the same file, type and default.
    const RegistryReadScope readings;

    messageLabel->clear();
    messageLabel->setVisible(false);

    fileTypes.clear();
    for (const QUrl& file : std::as_const(fileURLs))
        fileTypes.append(contentTypeIdentifier(file));

    setupPreview(first);
    updateSelectionSummary();

    QList<AppCandidate> candidates = loadAppCandidates(first);
    if (ruleCountdownApp)
        candidates = withCountdownApplication(std::move(candidates), *ruleCountdownApp);

    // The options row first: the window widens for it, and the row then gets
    // as many tiles as the widened window holds at once.
    buildCopyMenu(copyPopUp);
    timerSectionStack->setVisible(!skipTimer);
    setDefaultButton->setVisible(isOpenAsContext && !skipTimer);
    if (isOpenAsContext && !skipTimer)
        updateSetDefaultTexts(first);
    keepRoomForOptionsRow();

    populateAppButtons(candidates, first);
    focusDefaultTile();
    // Fill the row once more when the band has its final width, unless as
    // many tiles fitted already.
    QTimer::singleShot(0, this, &MainViewController::refillRowForWidth);

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

    if (!skipTimer) {
        startTimer(first, defaultApp);
    } else if (timer) {
        timer->stop();
    }
}

} // namespace marvoline
