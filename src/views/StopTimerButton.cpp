#include "views/StopTimerButton.h"

#include "views/Appearance.h"
#include "views/SymbolIcons.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace marvoline {

StopTimerButton::StopTimerButton(QWidget* parent)
    : QAbstractButton(parent)
    // Made and placed once in the button's life: a new parent adds nothing.
    , m_imageView(new QLabel(this)) {
    setFixedSize(kSize, kSize);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    //% "Stop automatic opening"
    setAccessibleName(qtTrId("ui.a11y.stopTimer"));
    // Keyboard and assistive technologies click; the mouse acts on the press.
    connect(this, &QAbstractButton::clicked, this, &StopTimerButton::runOnClick);

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
    QRectF disc = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (hasFocus()) {
        // The ring takes the disc's outer edge.
        const qreal half = kFocusRingWidth / 2;
        painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusRingWidth));
        disc.adjust(half - 1, half - 1, 1 - half, 1 - half);
    }
    painter.drawEllipse(disc);
}

void StopTimerButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    runOnClick();
}

void StopTimerButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void StopTimerButton::runOnClick() {
    if (onClick) {
        // A copy: the handler may rebuild the row and delete this button.
        const std::function<void()> handler = onClick;
        handler();
    }
}

} // namespace marvoline
