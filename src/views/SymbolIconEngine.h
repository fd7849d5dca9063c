#pragma once

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QIconEngine>
#include <QPixmap>
#include <QString>

#include <memory>
#include <optional>

class QSvgRenderer;

namespace marvoline {

// A bundled SVG symbol, or a theme's icon, drawn at the size it is shown at,
// when it is first shown, optionally recoloured: the bundled symbols are drawn in black and take
// the colour through their alpha. The SVG is read once and each size drawn once.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(const QString& path, const std::optional<QColor>& tint);
    // A theme's icon, recoloured the same way.
    SymbolIconEngine(const QIcon& source, const QColor& tint);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    bool isNull() override;

private:
    QPixmap render(int side);

    QString m_path;                      // the bundled SVG, or
    QIcon m_source;                      // the theme's icon
    std::shared_ptr<QSvgRenderer> m_svg; // m_path read when first drawn, shared with copies
    std::optional<QColor> m_tint;
    QHash<int, QPixmap> m_drawn; // by device size
};

} // namespace marvoline
