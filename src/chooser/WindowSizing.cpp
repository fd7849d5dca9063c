// The window's size and place: the size the files on show need, found before
// the window is first shown and kept within the screen; and the zoom frame, to
// which the window's maximize request widens the chooser to show every
// candidate application instead of filling the screen.
#include "main/MainViewController.h"

#include "main/ScreenChoice.h"

#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <limits>

namespace marvoline {

namespace {

// The main stack's left and right margins together.
constexpr int rowMargins = 24;
// The decoration a window manager is expected to add (a title bar and thin
// borders) until the window has been shown once: before that, no window
// system tells a program what its frame will be.
constexpr QMargins expectedDecoration(2, 30, 2, 6);
// Property of a compacted option button: its text, shown as its tool tip.
constexpr const char* fullTextProperty = "marvolineFullText";

// What the window manager's decoration adds around the window's inside.
QMargins decorationMargins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    if (frame == inner && !window->isVisible())
        return expectedDecoration;
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

} // namespace

void MainViewController::setOptionsCompact(bool compact) {
    // Only the buttons with a symbol can do without their text.
    for (QToolButton* button :
         optionsStack->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (button->property(optionSymbolProperty).toString().isEmpty())
            continue;
        const bool isCompact = button->toolButtonStyle() == Qt::ToolButtonIconOnly;
        if (compact == isCompact)
            continue;
        button->setToolButtonStyle(compact ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
        if (compact && button->toolTip().isEmpty()) {
            button->setToolTip(button->text());
            button->setProperty(fullTextProperty, true);
        } else if (!compact && button->property(fullTextProperty).toBool()) {
            button->setToolTip(QString());
            button->setProperty(fullTextProperty, false);
        }
    }
}

std::optional<QRect> MainViewController::fitWindowToScreen() {
    QWidget* w = window();
    if (w == this)
        return std::nullopt;
    // Measured as the style will draw them: sizes before polishing can differ.
    w->ensurePolished();
    const std::optional<QRect> area = availableAreaUnderPointer();
    std::optional<QRect> placed;
    if (area) {
        const QMargins decoration = decorationMargins(w);
        const QSize room = area->size().shrunkBy(decoration);
        // The option buttons show their texts where the screen has room for them.
        setOptionsCompact(false);
        if (optionsStack->sizeHint().width() + rowMargins > room.width())
            setOptionsCompact(true);
        const int needed = optionsStack->sizeHint().width() + rowMargins;
        w->setMinimumSize(w->minimumSize().expandedTo(QSize(needed, 0)).boundedTo(room));
        placed = placedWindow(*area, w->size().expandedTo(w->minimumSize()), decoration);
        w->resize(placed->size());
        // move() places the frame's corner.
        w->move(placed->topLeft() - QPoint(decoration.left(), decoration.top()));
    }
    // The row as many tiles wide as the window now has room for.
    refillRowForWidth();
    return placed;
}

void MainViewController::keepRoomForOptionsRow() {
    // The window never stays narrower than the options row needs, nor grows
    // past its screen's available area. The minimum only grows; a window that
    // is narrower widens to the right, and moves left where the screen ends.
    QWidget* w = window();
    if (w == this || !w)
        return;
    const QScreen* screen = w->screen();
    const QMargins decoration = decorationMargins(w);
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const int room = screen ? area.width() - decoration.left() - decoration.right()
                            : std::numeric_limits<int>::max();
    int needed = optionsStack->sizeHint().width() + rowMargins;
    if (needed > room && w->isVisible()) {
        setOptionsCompact(true);
        needed = optionsStack->sizeHint().width() + rowMargins;
    }
    needed = std::min(needed, room);
    if (w->minimumWidth() >= needed)
        return;
    w->setMinimumWidth(needed);
    if (w->width() >= needed)
        return;
    w->resize(needed, w->height());
    if (!w->isVisible() || !screen)
        return;
    const QRect frame = w->frameGeometry();
    const int overhang = frame.x() + frame.width() - (area.x() + area.width());
    if (overhang > 0)
        w->move(std::max(area.x(), frame.x() - overhang), frame.y());
}

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
    // The tile that opens each file with its own default takes a place too.
    const qsizetype tiles = allAppCandidates.size() + (showsMixedTypes() ? 1 : 0);
    return zoomFrame(tiles, current, defaultFrame, visible);
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
