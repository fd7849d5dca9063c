// Text sizes and symbol colours of the chooser's controls follow the desktop:
// sizes are scaled from the application font, symbols drawn in the palette's
// text colour, and the app band grows with tiles that a large font makes tall.

#include "main/MainViewController.h"

#include "views/AppIconButton.h"
#include "views/Appearance.h"
#include "views/SymbolIcons.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace marvoline {

namespace {

constexpr qreal kOptionPoints = 11;
constexpr int kOptionSymbolPixels = 12;
// How far the row of tiles may stand out above and below its band: into the
// margins between the band, the preview and the options row.
constexpr int kRowOverhang = 12;

} // namespace

void MainViewController::updateTextAppearance() {
    const QFont optionFont = scaledFont(font(), kOptionPoints, QFont::Medium);
    // Symbols as tall as the text beside them, never smaller than the default.
    const int symbolSide = std::max(kOptionSymbolPixels, QFontMetrics(optionFont).ascent());
    const QColor ink = palette().color(QPalette::ButtonText);
    for (QToolButton* button :
         optionsStack->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        button->setFont(optionFont);
        const QString symbol = button->property(optionSymbolProperty).toString();
        if (!symbol.isEmpty()) {
            button->setIcon(symbolIcon(symbol, ink));
            button->setIconSize(QSize(symbolSide, symbolSide));
        }
    }
    setDefaultButton->setFont(optionFont);
}

void MainViewController::fitBandToTiles() {
    int tallest = 0;
    for (const AppIconButton* tile : appTiles())
        tallest = std::max(tallest, tile->sizeHint().height());
    appContainer->setFixedHeight(std::max(appBandHeight, tallest - 2 * kRowOverhang));
}

void MainViewController::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::FontChange && event->type() != QEvent::PaletteChange)
        return;
    updateTextAppearance();
    // The tiles take the new font after this widget has.
    QTimer::singleShot(0, this, &MainViewController::fitBandToTiles);
}

} // namespace marvoline
