#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace marvoline {

// The small monochrome symbols of the chooser's controls ("clock",
// "doc.on.doc", "square.and.arrow.up", "arrow.triangle.branch",
// "line.3.horizontal", "stop.fill"). Each comes from the icon theme when the
// theme has a matching freedesktop icon, otherwise from the program's bundled
// SVG, so every control has its image on every theme. Monochrome images (the
// bundled ones and a theme's symbolic icons) are drawn in `color`, the
// application palette's window text colour when it is invalid, so they read
// on dark themes too; a theme's coloured icons keep their colours.
// "stop.fill" is always the bundled white square, since it sits on the red
// stop button. An unknown name gives a null icon.
QIcon symbolIcon(const QString& symbolName, const QColor& color = QColor());

// The resource path of the bundled SVG for a symbol name (empty when unknown).
QString bundledSymbolPath(const QString& symbolName);

// The program's own icon, for its windows' title bars: the installed one where
// the icon theme has it, else the bundled copy (the program run from its build
// folder), which is read only then.
QIcon programIcon();

} // namespace marvoline
