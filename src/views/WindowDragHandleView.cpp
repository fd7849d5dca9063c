#include "views/WindowDragHandleView.h"

#include "platform/FileIcons.h"
#include "views/ImageResize.h"
#include "views/SymbolIcons.h"

#include <QApplication>
#include <QDrag>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace marvoline {

namespace {

constexpr int kContentMargin = 10;
constexpr int kContentSpacing = 6;
constexpr int kSymbolSize = 12;
constexpr int kLabelFontPixels = 11;
constexpr qreal kCornerRadius = 13;

QLabel* makeSymbolView(QWidget* parent, const QIcon& symbol, qreal ratio) {
    auto* view = new QLabel(parent);
    view->setFixedSize(kSymbolSize, kSymbolSize);
    view->setAlignment(Qt::AlignCenter);
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (!symbol.isNull())
        view->setPixmap(symbol.pixmap(QSize(kSymbolSize, kSymbolSize), ratio));
    return view;
}

} // namespace

WindowDragHandleView::WindowDragHandleView(QWidget* parent)
    : QWidget(parent)
    , m_label(new QLabel(this)) {
    // Not translated: the same words in every language.
    m_label->setText(QStringLiteral("Drag Me"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setForegroundRole(QPalette::PlaceholderText);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont font = m_label->font();
    font.setPixelSize(kLabelFontPixels);
    font.setWeight(QFont::Medium);
    m_label->setFont(font);

    const QIcon symbol = symbolIcon(QStringLiteral("line.3.horizontal"));
    auto* stack = new QHBoxLayout(this);
    stack->setContentsMargins(kContentMargin, 0, kContentMargin, 0);
    stack->setSpacing(kContentSpacing);
    stack->addStretch(1);
    stack->addWidget(makeSymbolView(this, symbol, devicePixelRatioF()), 0, Qt::AlignVCenter);
    stack->addWidget(m_label, 0, Qt::AlignVCenter);
    stack->addWidget(makeSymbolView(this, symbol, devicePixelRatioF()), 0, Qt::AlignVCenter);
    stack->addStretch(1);

    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
}

QSize WindowDragHandleView::sizeHint() const {
    return QSize(std::max(kMinimumWidth, layout()->sizeHint().width()), kHeight);
}

QSize WindowDragHandleView::minimumSizeHint() const {
    return QSize(std::max(kMinimumWidth, layout()->minimumSize().width()), kHeight);
}

QList<QUrl> WindowDragHandleView::urlsToDrag() const {
    if (!fileURLs)
        return {};
    return fileURLs().mid(0, kMaxDraggedFiles);
}

std::unique_ptr<QMimeData> WindowDragHandleView::makeDragData() const {
    const QList<QUrl> urls = urlsToDrag();
    if (urls.isEmpty())
        return nullptr;
    auto mimeData = std::make_unique<QMimeData>();
    mimeData->setUrls(urls);
    return mimeData;
}

void WindowDragHandleView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Half a pixel in, so the 1 pixel border lies on whole pixels.
    const QRectF pill = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min(kCornerRadius, pill.height() / 2);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(pill, radius, radius);
}

void WindowDragHandleView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressPosition = event->position().toPoint();
    m_dragArmed = true;
    event->accept();
}

void WindowDragHandleView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragArmed || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    if ((event->position().toPoint() - m_pressPosition).manhattanLength() <
        QApplication::startDragDistance())
        return;
    // One drag per press.
    m_dragArmed = false;
    startDrag();
}

void WindowDragHandleView::mouseReleaseEvent(QMouseEvent* event) {
    m_dragArmed = false;
    QWidget::mouseReleaseEvent(event);
}

void WindowDragHandleView::startDrag() {
    std::unique_ptr<QMimeData> mimeData = makeDragData();
    if (!mimeData)
        return;
    const QUrl first = mimeData->urls().constFirst();
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeData.release());
    const QPixmap image = marvoline::resize(
        iconForFile(first), QSize(kDragImageSize, kDragImageSize), devicePixelRatioF());
    if (!image.isNull()) {
        drag->setPixmap(image);
        drag->setHotSpot(QPoint(0, 0));
    }
    execDrag(drag, Qt::CopyAction, Qt::CopyAction);
}

Qt::DropAction WindowDragHandleView::execDrag(QDrag* drag, Qt::DropActions supportedActions,
                                              Qt::DropAction defaultAction) {
    // Qt deletes the drag object once the drag is over.
    return drag->exec(supportedActions, defaultAction);
}

} // namespace marvoline
