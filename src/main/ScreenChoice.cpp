#include "main/ScreenChoice.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace marvoline {

namespace {

bool containsHalfOpen(const QRect& r, QPoint p) {
    // 64-bit sums: left + width must not overflow for extreme rectangles.
    const qint64 x = p.x();
    const qint64 y = p.y();
    return x >= r.left() && x < qint64(r.left()) + r.width() && y >= r.top() &&
           y < qint64(r.top()) + r.height();
}

// Floor of n / 2 for any sign of n.
qint64 floorHalf(qint64 n) {
    return n >= 0 ? n / 2 : -((-n + 1) / 2);
}

} // namespace

std::optional<int> chooseScreen(QPoint pointer, const QList<QRect>& screenGeometries,
                                int primaryIndex) {
    for (int i = 0; i < screenGeometries.size(); ++i) {
        if (containsHalfOpen(screenGeometries.at(i), pointer))
            return i;
    }
    if (primaryIndex >= 0 && primaryIndex < screenGeometries.size())
        return primaryIndex;
    if (!screenGeometries.isEmpty())
        return 0;
    return std::nullopt;
}

QPoint centeredTopLeft(const QRect& available, QSize windowFrameSize) {
    // Centre of the area minus half the window, computed as one halving of the
    // difference so that odd sizes round the same way everywhere.
    const qint64 dx = floorHalf(qint64(available.width()) - windowFrameSize.width());
    const qint64 dy = floorHalf(qint64(available.height()) - windowFrameSize.height());
    return QPoint(int(available.left() + dx), int(available.top() + dy));
}

QRect placedWindow(const QRect& available, QSize wanted, const QMargins& decoration) {
    const int roomWidth = available.width() - decoration.left() - decoration.right();
    const int roomHeight = available.height() - decoration.top() - decoration.bottom();
    const QSize inside(std::max(1, std::min(wanted.width(), roomWidth)),
                       std::max(1, std::min(wanted.height(), roomHeight)));
    const QSize frame = inside.grownBy(decoration);
    const QPoint frameTopLeft = centeredTopLeft(available, frame);
    return {frameTopLeft + QPoint(decoration.left(), decoration.top()), inside};
}

std::optional<QRect> availableAreaUnderPointer() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    // One screen is chosen wherever the pointer is: not asked for, as asking
    // waits for the window system's answer.
    if (screens.size() == 1)
        return screens.first()->availableGeometry();
    QList<QRect> geometries;
    geometries.reserve(screens.size());
    for (const QScreen* screen : screens)
        geometries.append(screen->geometry());
    const int primary = int(screens.indexOf(QGuiApplication::primaryScreen()));

    const std::optional<int> chosen = chooseScreen(QCursor::pos(), geometries, primary);
    if (!chosen)
        return std::nullopt;
    return screens.at(*chosen)->availableGeometry();
}

void centerOnScreenUnderPointer(QWidget* window) {
    if (!window)
        return;
    const std::optional<QRect> area = availableAreaUnderPointer();
    if (!area)
        return;
    // move() places the frame's corner; before the window is first shown the
    // frame is not known yet and is the window's own size.
    window->move(centeredTopLeft(*area, window->frameGeometry().size()));
}

} // namespace marvoline
