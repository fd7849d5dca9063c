#include "main/MainViewController.h"

#include "handlers/AppPaths.h"
#include "main/ChoiceReceiver.h"
#include "views/AppIconButton.h"
#include "views/MenuButton.h"
#include "views/WindowDragHandleView.h"

#include <QCheckBox>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace marvoline {

void MainViewController::setChoiceReceiver(ChoiceReceiver* receiver) {
    m_choiceReceiver = receiver;
    m_choiceHandedOver = false;
    // Another program opens the file: reminding of it, copying or sharing it,
    // dragging it elsewhere, a rule or a new default would act beside that
    // program's request, not answer it.
    const bool ownFiles = receiver == nullptr;
    for (QWidget* option : std::initializer_list<QWidget*>{ruleButton, laterPopUp, copyPopUp,
                                                           shareButton, dragHandle}) {
        if (option)
            option->setVisible(ownFiles);
    }
    if (setDefaultButton && !ownFiles) {
        setDefaultButton->setChecked(false);
        setDefaultButton->setVisible(false);
    }
    keepRoomForOptionsRow();
}

void MainViewController::refreshOfferedApplications() {
    if (!m_choiceReceiver || fileURLs.isEmpty())
        return;
    const RowFocus focus = rowFocus();
    populateAppButtons(loadAppCandidates(fileURLs.first()), fileURLs.first());
    restoreRowFocus(focus);
    // The countdown goes on only for an application still offered.
    const bool stillOffered =
        countdownApp && std::any_of(allAppCandidates.begin(), allAppCandidates.end(),
                                    [this](const AppCandidate& candidate) {
                                        return isSameApplication(candidate.url, *countdownApp);
                                    });
    if (timer && !stillOffered)
        pauseTimer();
}

void MainViewController::handOverChoice(const QUrl& appURL) {
    pauseTimer();
    // Only the first way out counts; the receiver may delete the chooser.
    if (m_choiceReceiver && !std::exchange(m_choiceHandedOver, true))
        m_choiceReceiver->applicationChosen(appURL);
}

void MainViewController::handOverCancel() {
    pauseTimer();
    if (m_choiceReceiver && !std::exchange(m_choiceHandedOver, true))
        m_choiceReceiver->choiceCancelled();
}

} // namespace marvoline
