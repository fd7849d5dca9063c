#include "views/Appearance.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace marvoline {

namespace {

// The size of the standard font that the chooser's text sizes are given for.
constexpr qreal kStandardPoints = 13.0;

double linearChannel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor& color) {
    const QColor rgb = color.toRgb();
    return 0.2126 * linearChannel(rgb.redF()) + 0.7152 * linearChannel(rgb.greenF()) +
           0.0722 * linearChannel(rgb.blueF());
}

// The colour as it shows over the ground (palettes often give translucent
// placeholder colours).
QColor over(const QColor& color, const QColor& ground) {
    const double a = color.alphaF();
    if (a >= 1.0)
        return color;
    const auto mix = [a](double top, double bottom) { return top * a + bottom * (1.0 - a); };
    return QColor::fromRgbF(float(mix(color.redF(), ground.redF())),
                            float(mix(color.greenF(), ground.greenF())),
                            float(mix(color.blueF(), ground.blueF())));
}

QColor blend(const QColor& from, const QColor& to, double t) {
    const auto mix = [t](double a, double b) { return a + (b - a) * t; };
    return QColor::fromRgbF(float(mix(from.redF(), to.redF())),
                            float(mix(from.greenF(), to.greenF())),
                            float(mix(from.blueF(), to.blueF())));
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor secondaryLabelColor(const QPalette& palette, const QColor& background,
                           QPalette::ColorRole textRole) {
    QColor ground = background;
    ground.setAlpha(255);
    const QColor text = over(palette.color(QPalette::Active, textRole), ground);

    const std::array candidates{
        palette.color(QPalette::Active, QPalette::PlaceholderText),
        palette.color(QPalette::Disabled, textRole),
    };
    for (const QColor& candidate : candidates) {
        const QColor shown = over(candidate, ground);
        // Brighter than the text itself would not read as secondary.
        if (contrastRatio(shown, ground) >= kSecondaryTextContrast &&
            contrastRatio(shown, ground) < contrastRatio(text, ground))
            return shown;
    }
    // Half way from the ground to the text colour, then closer to the text in
    // small steps until it reads.
    constexpr int kSteps = 20;
    for (int step = kSteps / 2; step < kSteps; ++step) {
        const QColor mixed = blend(ground, text, double(step) / kSteps);
        if (contrastRatio(mixed, ground) >= kSecondaryTextContrast)
            return mixed;
    }
    return text;
}

QFont scaledFont(const QFont& base, qreal points, QFont::Weight weight) {
    QFont font = base;
    const qreal factor = points / kStandardPoints;
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * factor);
    else if (base.pixelSize() > 0)
        font.setPixelSize(std::max(1, int(std::lround(base.pixelSize() * factor))));
    font.setWeight(weight);
    return font;
}

} // namespace marvoline
