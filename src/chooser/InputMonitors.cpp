// Signs that the user is attending to the chooser stop the countdown: a key
// press anywhere in the program (one that types or makes a shortcut, not a
// modifier held alone), a left click or a wheel turn over the preview pane. Nothing is consumed:
// every event goes on to its widget.
#include "main/MainViewController.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

namespace marvoline {

namespace {

// The pane owns its left and bottom edge lines, not its top and right ones:
// a click exactly on the line between two areas counts for one of them only.
bool paneContains(const QSizeF& pane, const QPointF& point) {
    return point.x() >= 0 && point.x() < pane.width() && point.y() > 0 &&
           point.y() <= pane.height();
}

// The window an event was delivered in: window-system input reaches the
// program's window first, then the widget under it.
QWindow* eventWindow(QObject* watched) {
    if (watched->isWindowType())
        return static_cast<QWindow*>(watched);
    if (watched->isWidgetType())
        return static_cast<QWidget*>(watched)->window()->windowHandle();
    return nullptr;
}

// Keys that only change what other keys do: pressing one types nothing. Alt
// is the first half of Alt-Tab, which leaves the window without a word to it.
bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

} // namespace

bool InputStamp::operator==(const InputStamp& other) const {
    return type == other.type && timestamp == other.timestamp && point == other.point &&
           key == other.key;
}

void MainViewController::monitorInput(QObject* watched, QEvent* event) {
    InputStamp stamp;
    stamp.type = event->type();
    switch (event->type()) {
    case QEvent::KeyPress:
        stamp.key = static_cast<QKeyEvent*>(event)->key();
        if (isModifierKey(stamp.key))
            return;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return;
        stamp.point = static_cast<QMouseEvent*>(event)->globalPosition();
        break;
    case QEvent::Wheel:
        stamp.point = static_cast<QWheelEvent*>(event)->globalPosition();
        break;
    default:
        return;
    }
    // The same input passes here once for the window and once for each
    // widget it is delivered or propagated to: act once.
    stamp.timestamp = static_cast<QInputEvent*>(event)->timestamp();
    if (m_lastInput && *m_lastInput == stamp)
        return;
    m_lastInput = stamp;

    if (stamp.type == QEvent::KeyPress) {
        pauseTimer();
        return;
    }
    // Clicks and wheel turns count only in the chooser's own window, so that
    // a menu or dialog lying over the preview does not pause.
    if (eventWindow(watched) != window()->windowHandle())
        return;
    // Nothing can be clicked on a pane that is not on screen.
    if (!previewContainer->isVisible())
        return;
    if (paneContains(previewContainer->size(), previewContainer->mapFromGlobal(stamp.point)))
        pauseTimer();
}

} // namespace marvoline
