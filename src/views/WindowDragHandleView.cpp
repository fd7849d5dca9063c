#include "views/WindowDragHandleView.h"

#include "platform/FileIcons.h"
#include "views/Appearance.h"
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
constexpr qreal kLabelPoints = 11;
constexpr qreal kCornerRadius = 13;

QLabel* makeSymbolView(QWidget* parent) {
    auto* view = new QLabel(parent);
    view->setFixedSize(kSymbolSize, kSymbolSize);
    view->setAlignment(Qt::AlignCenter);
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
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
    //% "Drag the files to another application"
    const QString purpose = qtTrId("ui.a11y.dragHandle");
    setAccessibleName(purpose);
    setToolTip(purpose);

    m_symbolViews = {makeSymbolView(this), makeSymbolView(this)};
    auto* stack = new QHBoxLayout(this);
    stack->setContentsMargins(kContentMargin, 0, kContentMargin, 0);
    stack->setSpacing(kContentSpacing);
    stack->addStretch(1);
    stack->addWidget(m_symbolViews.at(0), 0, Qt::AlignVCenter);
    stack->addWidget(m_label, 0, Qt::AlignVCenter);
    stack->addWidget(m_symbolViews.at(1), 0, Qt::AlignVCenter);
    stack->addStretch(1);

    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    updateAppearance();
}

void WindowDragHandleView::updateAppearance() {
    m_label->setFont(scaledFont(font(), kLabelPoints, QFont::Medium));
    // Text and grip marks are drawn on the pill's Base ground.
    const QColor secondary =
        secondaryLabelColor(palette(), palette().color(QPalette::Base), QPalette::Text);
    QPalette labelPalette = m_label->palette();
    labelPalette.setColor(QPalette::PlaceholderText, secondary);
    m_label->setPalette(labelPalette);
    const QIcon symbol = symbolIcon(QStringLiteral("line.3.horizontal"), secondary);
    for (QLabel* view : std::as_const(m_symbolViews)) {
        if (symbol.isNull())
            view->clear();
        else
            view->setPixmap(symbol.pixmap(QSize(kSymbolSize, kSymbolSize), devicePixelRatioF()));
    }
    // A larger font needs a taller pill.
    setFixedHeight(std::max(kHeight, m_label->sizeHint().height() + 4));
}

void WindowDragHandleView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        updateAppearance();
}

QSize WindowDragHandleView::sizeHint() const {
    return QSize(std::max(kMinimumWidth, layout()->sizeHint().width()), minimumHeight());
}

QSize WindowDragHandleView::minimumSizeHint() const {
    return QSize(std::max(kMinimumWidth, layout()->minimumSize().width()), minimumHeight());
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
