#pragma once

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace marvoline {

// The index of the screen a window should go to for a pointer position: the
// first screen whose geometry contains the pointer, else the primary screen,
// else the first screen; nothing when there is no screen. Containment is
// half-open: a point on a screen's right or bottom edge (left + width,
// top + height) lies outside it, so that two screens side by side never both
// contain it. primaryIndex may be -1 (or otherwise out of range) for "none".
std::optional<int> chooseScreen(QPoint pointer, const QList<QRect>& screenGeometries,
                                int primaryIndex);

// The top-left corner that centres a window frame of the given size in the
// available area of a screen. Halves are rounded towards negative infinity, so
// the result moves exactly with the available area wherever its origin lies.
QPoint centeredTopLeft(const QRect& available, QSize windowFrameSize);

// Where a window's inside goes on a screen: the wanted size, but never so large
// that the frame (the inside plus the window manager's decoration) leaves the
// available area, and the frame centred in that area as centeredTopLeft()
// places it. A wanted side of 0 or less counts as 1.
QRect placedWindow(const QRect& available, QSize wanted, const QMargins& decoration);

// The available area of the screen under the mouse pointer (see chooseScreen);
// nothing when there is no screen.
std::optional<QRect> availableAreaUnderPointer();

// Moves the window, without resizing it, to the centre of the available area
// of the screen under the mouse pointer (see chooseScreen). With no screen at
// all the window stays where it is. Window systems that do not let programs
// place windows (Wayland) place it themselves.
void centerOnScreenUnderPointer(QWidget* window);

} // namespace marvoline
