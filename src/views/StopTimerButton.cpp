#include "views/StopTimerButton.h"

#include "views/SymbolIcons.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace marvoline {

StopTimerButton::StopTimerButton(QWidget* parent)
    : QWidget(parent)
    // Made and placed once in the button's life: a new parent adds nothing.
    , m_imageView(new QLabel(this)) {
    setFixedSize(kSize, kSize);
    setCursor(Qt::PointingHandCursor);

    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setGeometry((kSize - kSymbolSize) / 2, (kSize - kSymbolSize) / 2, kSymbolSize,
                             kSymbolSize);
    const QIcon symbol = symbolIcon(QStringLiteral("stop.fill"));
    // Without the symbol the red disc is still drawn, just without the square.
    if (!symbol.isNull())
        m_imageView->setPixmap(symbol.pixmap(QSize(kSymbolSize, kSymbolSize), devicePixelRatioF()));
}

QSize StopTimerButton::sizeHint() const {
    return QSize(kSize, kSize);
}

void StopTimerButton::setStopped(bool stopped) {
    m_isStopped = stopped;
    m_imageView->setHidden(stopped);
    setHidden(stopped);
}

void StopTimerButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(kDiscColor));
    painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void StopTimerButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (onClick) {
        // A copy: the handler may rebuild the row and delete this button.
        const std::function<void()> handler = onClick;
        handler();
    }
}

} // namespace marvoline
