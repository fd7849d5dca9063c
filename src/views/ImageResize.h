#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace marvoline {

// A new image of exactly `size` (device-independent pixels) holding the whole
// source scaled into it with smooth interpolation. The aspect ratio is not
// kept: callers ask for square sizes (32 x 32 for tiles, 16 x 16 for menu
// items, 48 x 48 for dragged files). The result carries `devicePixelRatio`
// (the application's when 0 or less), so it is sharp on scaled screens.
// A null or empty source, or an empty size, gives a null pixmap.
// Inside QWidget members call it as marvoline::resize: QWidget::resize hides it.
QPixmap resize(const QPixmap& source, QSize size, qreal devicePixelRatio = 0);

// The same for an icon: its best source image for the requested size is
// scaled into the new image.
QPixmap resize(const QIcon& icon, QSize size, qreal devicePixelRatio = 0);

} // namespace marvoline
