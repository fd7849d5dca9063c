#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace marvoline::test {

// Small files, written by the tests, that cost a decoder a great deal.

// A PDF of a few hundred bytes whose page tree lists itself as its only kid
// and claims a million pages.
QByteArray selfReferencingPdf();
// A valid PDF of the pages, each the size in points, blank.
QByteArray blankPdf(int pages, QSize points = {200, 100});
// A one-colour grey PNG of side × side pixels: a few MB for 30000.
QByteArray hugePng(int side);
// A looping GIF animation of the frames on a screen of the size, each frame a
// single pixel of its own colour at the top left, shown for delayCs hundredths
// of a second. Decoders still draw every frame at the screen's size.
QByteArray animatedGif(QSize screen, int frames, int delayCs);

// The image as an 8-bit RGBA PNG, written without Qt's image writer (which
// loads every image format plugin to find a PNG writer).
QByteArray rgbaPng(const QImage& image);

} // namespace marvoline::test
