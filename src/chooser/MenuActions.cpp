#include "main/MainViewController.h"

namespace marvoline {

void MainViewController::menuWillOpen(QMenu* menu) {
    Q_UNUSED(menu);
    pauseTimer();
}

} // namespace marvoline
