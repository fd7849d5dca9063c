#pragma once

namespace marvoline {

// Qt reads a PNG with a decoder of its own, but asks every image format plugin
// first whether it reads PNG, which loads them all (GIF, ICO, JPEG, SVG, and
// whatever else is installed, with their libraries) into a program that only
// wanted an application's icon. After this call a reader that goes by the name
// of a ".png" file, as a theme's icons and pixmaps made from a file are read,
// goes straight to Qt's own decoder, with the same results; the plugins are
// loaded when a file needs one. (A reader told the format, or left to guess
// from the contents, still asks the plugins first, as they come before this.)
// Call it once, before the first image is read; later calls do nothing.
void readPngWithoutPlugins();

} // namespace marvoline
