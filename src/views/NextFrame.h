#pragma once

#include <QWidget>

#include <functional>

namespace marvoline {

// Runs work at the next frame of the widget's window: on Wayland once the
// compositor has shown the frame before, elsewhere at Qt's frame timer, a few
// milliseconds on. For what a window's first frame does without (a title bar
// icon, a page that takes a library to draw), so that frame is not held back
// by it nor shares the processor with it. The work is dropped with the widget;
// a widget whose window has not been shown yet has it run once control is back
// in the event loop.
void atNextFrame(QWidget* widget, std::function<void()> work);

// Shows the window raised, active and laid out, with every widget in it drawn
// in its first frame. Each widget that becomes visible asks to be drawn by an
// event of its own; shown from an event handler, as the chooser is, those
// events would only be handled after the window system's first expose and
// draw the whole window a second time, right after the first.
void showInOneFrame(QWidget* window);

} // namespace marvoline
