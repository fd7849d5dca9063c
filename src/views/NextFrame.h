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

} // namespace marvoline
