#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace marvoline {

// Colours and text sizes of the chooser's own views, taken from the palette and
// the application font so that they follow the desktop's theme and font size.

// The contrast (WCAG 2 ratio) that secondary text is given against its
// ground: above the 4.5 that small text needs, since anti-aliasing draws the
// thin strokes of small letters lighter than their colour.
inline constexpr double kSecondaryTextContrast = 5.0;

// The width of the focus ring the chooser's own buttons draw.
inline constexpr qreal kFocusRingWidth = 2;

// WCAG 2 contrast ratio of two opaque colours, from 1 (same) to 21.
double contrastRatio(const QColor& a, const QColor& b);

// The dimmer colour of secondary text (versions, "Drag Me") drawn on `ground`:
// the palette's placeholder text colour, else its disabled text colour,
// whichever reads against the ground; when neither does (palettes made for
// dark themes often keep the light theme's), the palette's `textRole` colour
// mixed into the ground just enough to read. Always opaque.
QColor secondaryLabelColor(const QPalette& palette, const QColor& ground,
                           QPalette::ColorRole textRole = QPalette::WindowText);

// A font for a text that a 13-point standard font would show at `points`:
// the base font's size scaled by points / 13, so larger desktop fonts give
// larger text. The family and other attributes are the base font's.
QFont scaledFont(const QFont& base, qreal points, QFont::Weight weight = QFont::Normal);

} // namespace marvoline
