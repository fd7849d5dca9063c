// The zoom frame: the window's maximize request widens the chooser to show
// every candidate application instead of filling the screen.
#include "main/MainViewController.h"

#include <QScreen>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace marvoline {

namespace {

// The main stack's left and right margins together.
constexpr int rowMargins = 24;

// What the window manager's decoration adds around the window's inside.
QMargins decorationMargins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

} // namespace

QRect MainViewController::zoomFrame(qsizetype candidateCount, const QRect& current,
                                    const QRect& defaultFrame, const QRect& visible) {
    if (candidateCount <= 0)
        return defaultFrame;
    const qsizetype wanted = candidateCount * (appButtonWidth + appButtonSpacing) -
                             appButtonSpacing + addButtonWidth + rowMargins;
    const int width = int(
        std::min<qsizetype>(std::max<qsizetype>(wanted, current.width()), defaultFrame.width()));
    int x = current.x();
    // Moved left to stay on the screen, but never past its left edge.
    if (x + width > visible.x() + visible.width())
        x = visible.x() + visible.width() - width;
    if (x < visible.x())
        x = visible.x();
    return {x, current.y(), width, current.height()};
}

QRect MainViewController::windowWillUseStandardFrame(const QWidget* window,
                                                     const QRect& defaultFrame) const {
    // The window's inside, as it is when not maximized: the tiles need the
    // width of the inside, whatever the window manager's decoration adds.
    const QRect current = window->normalGeometry();
    const QScreen* screen = window->screen();
    const QRect visible =
        screen ? screen->availableGeometry() - decorationMargins(window) : defaultFrame;
    return zoomFrame(allAppCandidates.size(), current, defaultFrame, visible);
}

bool MainViewController::zoomInsteadOfMaximizing(QWidget* window,
                                                 const QWindowStateChangeEvent* change) {
    const Qt::WindowStates state = window->windowState();
    if (!state.testFlag(Qt::WindowMaximized) || change->oldState().testFlag(Qt::WindowMaximized) ||
        state.testFlag(Qt::WindowFullScreen))
        return false;
    // The window manager has maximized the window already: take that back and
    // zoom from the size it had before. Done on the next pass of the event
    // loop, not from inside the window's own state change.
    QPointer<QWidget> target(window);
    QTimer::singleShot(0, this, [this, target] {
        if (!target)
            return;
        const QScreen* screen = target->screen();
        const QRect defaultFrame = screen ? screen->availableGeometry() - decorationMargins(target)
                                          : target->normalGeometry();
        const QRect zoomed = windowWillUseStandardFrame(target, defaultFrame);
        target->setWindowState(target->windowState() & ~Qt::WindowMaximized);
        target->setGeometry(zoomed);
    });
    return true;
}

} // namespace marvoline
