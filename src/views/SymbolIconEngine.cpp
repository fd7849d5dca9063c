#include "views/SymbolIconEngine.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

#include <algorithm>

namespace marvoline {

SymbolIconEngine::SymbolIconEngine(const QString& path, const std::optional<QColor>& tint)
    : m_path(path)
    , m_tint(tint) {}

SymbolIconEngine::SymbolIconEngine(const QIcon& source, const QColor& tint)
    : m_source(source)
    , m_tint(tint) {}

void SymbolIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                             QIcon::State state) {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
}

QPixmap SymbolIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) {
    const int side = std::min(size.width(), size.height());
    if (side <= 0)
        return {};
    QPixmap drawn = m_drawn.value(side);
    if (drawn.isNull()) {
        drawn = render(side);
        m_drawn.insert(side, drawn);
    }
    if (mode == QIcon::Normal || drawn.isNull() || !qobject_cast<QApplication*>(qApp))
        return drawn;
    // Disabled and selected looks come from the style, as for any icon.
    QStyleOption option;
    option.palette = QApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, drawn, &option);
}

QSize SymbolIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    const int side = std::min(size.width(), size.height());
    return {side, side};
}

QIconEngine* SymbolIconEngine::clone() const {
    auto* copy = new SymbolIconEngine(m_path, m_tint);
    copy->m_source = m_source;
    copy->m_svg = m_svg;
    return copy;
}

QString SymbolIconEngine::key() const {
    return QStringLiteral("marvoline-symbol");
}

bool SymbolIconEngine::isNull() {
    return m_source.isNull() && !QFile::exists(m_path);
}

QPixmap SymbolIconEngine::render(int side) {
    QImage image;
    if (!m_source.isNull()) {
        image = m_source.pixmap(QSize(side, side), 1.0)
                    .toImage()
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    } else {
        if (!m_svg)
            m_svg = std::make_shared<QSvgRenderer>(m_path);
        if (m_svg->isValid()) {
            image = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            m_svg->render(&painter, QRectF(0, 0, side, side));
        }
    }
    if (image.isNull())
        return {};
    if (m_tint) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), *m_tint);
    }
    return QPixmap::fromImage(std::move(image));
}

} // namespace marvoline
