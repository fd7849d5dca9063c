#include "main/MainViewController.h"

#include "views/AppIconButton.h"
#include "views/StopTimerButton.h"

#include <QTimer>

namespace marvoline {

void MainViewController::startTimer(const QUrl& fileURL, const std::optional<QUrl>& defaultApp) {
    Q_UNUSED(fileURL); // at the end, the files on show at that moment are opened
    if (timer) {
        timer->stop();
        timer->deleteLater();
        timer = nullptr;
    }
    timerRemaining = timerDuration;
    isTimerPaused = false;
    if (defaultAppButton) {
        defaultAppButton->setFillProgress(0);
        defaultAppButton->setAutoOpening(true);
    }
    if (stopTimerButton)
        stopTimerButton->setStopped(false);

    countdownApp = defaultApp;
    timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(timerIntervalMs);
    connect(timer, &QTimer::timeout, this, &MainViewController::tick);
    timer->start();
}

void MainViewController::tick() {
    if (!timer || !timer->isActive() || isTimerPaused)
        return;
    timerRemaining -= 0.1;
    const double progress = 1.0 - timerRemaining / timerDuration;
    if (defaultAppButton)
        defaultAppButton->setFillProgress(progress);
    if (timerRemaining > 0)
        return;

    // The countdown has run out.
    if (defaultAppButton)
        defaultAppButton->setAutoOpening(false);
    timer->stop();
    timer->deleteLater();
    timer = nullptr;
    if (countdownApp && !fileURLs.isEmpty() && !launchInFlight) {
        performSetDefaultIfNeeded(fileURLs.first());
        openWith(*countdownApp, fileURLs);
    } else if (m_choiceReceiver) {
        handOverCancel();
    } else if (!launchInFlight) {
        Q_EMIT terminateRequested();
    }
}

void MainViewController::pauseTimer() {
    isTimerPaused = true;
    if (defaultAppButton) {
        defaultAppButton->setFillProgress(0);
        defaultAppButton->setAutoOpening(false);
    }
    if (stopTimerButton) {
        // The button hides itself, whatever paused the countdown (its own press, any key):
        // the keyboard focus goes back to the tile it stopped.
        if (stopTimerButton->hasFocus() && defaultAppButton)
            defaultAppButton->setFocus(Qt::OtherFocusReason);
        stopTimerButton->setStopped(true);
    }
}

void MainViewController::pauseTimerFromNotification() {
    pauseTimer();
}

} // namespace marvoline
