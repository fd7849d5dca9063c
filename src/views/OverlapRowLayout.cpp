#include "views/OverlapRowLayout.h"

#include <QWidget>

namespace marvoline {

OverlapRowLayout::OverlapRowLayout(QWidget* parent, int spacing)
    : QLayout(parent)
    , m_spacing(spacing) {
    setContentsMargins(0, 0, 0, 0);
}

OverlapRowLayout::~OverlapRowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void OverlapRowLayout::setSpacing(int spacing) {
    m_spacing = spacing;
    invalidate();
}

int OverlapRowLayout::spacing() const {
    return m_spacing;
}

void OverlapRowLayout::addItem(QLayoutItem* item) {
    m_items.append(item);
    invalidate();
}

QLayoutItem* OverlapRowLayout::itemAt(int index) const {
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* OverlapRowLayout::takeAt(int index) {
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

int OverlapRowLayout::count() const {
    return int(m_items.size());
}

QSize OverlapRowLayout::contentSize() const {
    int width = 0;
    int height = 0;
    int shown = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += hint.width();
        height = std::max(height, hint.height());
        ++shown;
    }
    if (shown > 1)
        width += m_spacing * (shown - 1);
    const QMargins margins = contentsMargins();
    return QSize(std::max(0, width) + margins.left() + margins.right(),
                 height + margins.top() + margins.bottom());
}

QSize OverlapRowLayout::sizeHint() const {
    return contentSize();
}

QSize OverlapRowLayout::minimumSize() const {
    // The tiles do not shrink: the row needs all of its content.
    return contentSize();
}

Qt::Orientations OverlapRowLayout::expandingDirections() const {
    return {};
}

void OverlapRowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    for (QLayoutItem* item : std::as_const(m_items)) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        // Preferred height, but never taller than the row unless the item
        // cannot be smaller.
        const int height =
            std::max(item->minimumSize().height(), std::min(hint.height(), area.height()));
        const int y = area.y() + (area.height() - height) / 2;
        item->setGeometry(QRect(x, y, hint.width(), height));
        x += hint.width() + m_spacing;
    }
}

} // namespace marvoline
