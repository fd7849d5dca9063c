#pragma once

#include <QLayout>
#include <QList>

namespace marvoline {

// Lays its items out left to right, each at its preferred width and height,
// vertically centred, with a fixed spacing between neighbours that may be
// negative: at -8 neighbouring application tiles overlap by 8 pixels, which
// QBoxLayout cannot do (it reads a negative spacing as "use the style's").
// Hidden widgets take no room. The row's size hint is exactly its content, so
// a parent layout can centre it.
class OverlapRowLayout : public QLayout {
    Q_OBJECT

public:
    explicit OverlapRowLayout(QWidget* parent = nullptr, int spacing = 0);
    ~OverlapRowLayout() override;

    void setSpacing(int spacing) override;
    int spacing() const override;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    void setGeometry(const QRect& rect) override;

private:
    QSize contentSize() const;

    QList<QLayoutItem*> m_items;
    int m_spacing;
};

} // namespace marvoline
