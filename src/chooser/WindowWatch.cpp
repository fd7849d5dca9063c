#include "main/MainViewController.h"

#include "views/AppIconButton.h"

#include <QEvent>
#include <QTimer>
#include <QWindowStateChangeEvent>

namespace marvoline {

bool MainViewController::handleWindowEvent(QWidget* window, QEvent* event) {
    const bool isChooser = window == this->window();

    switch (event->type()) {
    case QEvent::Close:
        if (isChooser && launchInFlight) {
            // Closed from the title bar while a launch is under way: as with
            // the Close button, leave once the launch has answered; closing
            // now would end the program and lose the files.
            event->ignore();
            pauseTimer();
            quitAfterLaunch = true;
            return true;
        }
        return false;
    case QEvent::Show:
        if (isChooser) {
            windowSettled = false;
            settleTimer->start();
        }
        return false;
    case QEvent::WindowStateChange:
        if (isChooser &&
            zoomInsteadOfMaximizing(window, static_cast<QWindowStateChangeEvent*>(event)))
            return false;
        break;
    case QEvent::Move:
    case QEvent::Resize:
        break;
    default:
        return false;
    }

    if (isChooser && !windowSettled) {
        // Still being placed by the window manager: wait for quiet, but
        // fit the row to every new width all the same.
        if (window->isVisible())
            settleTimer->start();
        if (event->type() == QEvent::Resize)
            rebuildRowForNewWidth();
        return false;
    }

    if (event->type() == QEvent::Move) {
        pauseTimerFromNotification();
    } else if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool wasFull = change->oldState().testFlag(Qt::WindowFullScreen);
        const bool isFull = window->windowState().testFlag(Qt::WindowFullScreen);
        if (wasFull != isFull)
            pauseTimerFromNotification();
    } else {
        // Any window resize stops the countdown; the chooser's own rebuilds the
        // row for the new width.
        pauseTimer();
        if (isChooser)
            rebuildRowForNewWidth();
    }
    return false;
}

void MainViewController::rebuildRowForNewWidth() {
    // The filter sees the resize before the window's layout does: measure the
    // band once the layout has given it its new width.
    QTimer::singleShot(0, this, &MainViewController::refillRowForWidth);
}

bool MainViewController::eventFilter(QObject* watched, QEvent* event) {
    monitorInput(watched, event);
    if (handleKeyboardAccess(watched, event))
        return true;
    if (watched == optionsStack && event->type() == QEvent::LayoutRequest) {
        keepRoomForOptionsRow();
        return false;
    }
    if (watched == previewContainer && event->type() == QEvent::Resize)
        placeSelectionSummary();
    if (watched == previewContainer && event->type() == QEvent::MouseButtonDblClick) {
        onPreviewDoubleClick();
        return false;
    }
    const bool bandMoved = appContainer &&
                           (watched == appContainer || watched == appContainer->parentWidget()) &&
                           (event->type() == QEvent::Move || event->type() == QEvent::Resize);
    if (bandMoved || (watched == appStackView && event->type() == QEvent::LayoutRequest)) {
        layoutAppRow();
        return false;
    }
    if ((watched == defaultAppButton || watched == appStackView) &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        placeStopTimerButton();
        return false;
    }
    // Top-level windows and dialogs only (not menus or tool tips), and only as
    // widgets: the same move reaches the platform window too.
    if (watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const Qt::WindowType type = widget->windowType();
        if (widget->isWindow() && widget != this && (type == Qt::Window || type == Qt::Dialog))
            return handleWindowEvent(widget, event);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace marvoline
