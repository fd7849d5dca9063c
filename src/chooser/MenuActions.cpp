#include "main/MainViewController.h"

namespace marvoline {

void MainViewController::onRuleTapped() {
    pauseTimer();
}

void MainViewController::menuWillOpen(QMenu* menu) {
    Q_UNUSED(menu);
    pauseTimer();
}

void MainViewController::onAddAppTapped() {
    // Picking any installed application is not available yet; the button
    // still counts as attention and stops the countdown.
    pauseTimer();
}

} // namespace marvoline
