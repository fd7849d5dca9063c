#include "views/PdfPreviewView.h"

#include "platform/FilePaths.h"
#include "platform/Logging.h"
#include "platform/PdfPages.h"
#include "views/FileCardView.h"
#include "views/NextFrame.h"

#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace marvoline {

namespace {
constexpr int kMargin = 6;
} // namespace

PdfPreviewView::PdfPreviewView(QWidget* parent)
    : QWidget(parent) {
    setBackgroundRole(QPalette::Dark);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void PdfPreviewView::configure(const QUrl& url, const std::optional<QString>& contentType,
                               std::chrono::milliseconds timeLimit) {
    m_url = url;
    m_contentType = contentType;
    m_timeLimit = timeLimit;
    if (isVisible())
        update();
}

QSize PdfPreviewView::renderBox() const {
    const qreal ratio = devicePixelRatioF();
    const auto steps = [](qreal pixels) {
        const int whole = std::max(1, int(std::ceil(pixels / kRenderStep)));
        return whole * kRenderStep;
    };
    return QSize(steps((width() - 2 * kMargin) * ratio), steps((height() - 2 * kMargin) * ratio));
}

bool PdfPreviewView::pageCoversView() const {
    // The page as large as the box allows, against the page as drawn; a pixel
    // lost to rounding is no reason to draw it again.
    const QSize wanted = m_page.size().scaled(renderBox(), Qt::KeepAspectRatio);
    return m_page.width() + 1 >= wanted.width() && m_page.height() + 1 >= wanted.height();
}

void PdfPreviewView::showPage(int index) {
    if (m_state != State::Page || index < 0 || index >= m_pageCount)
        return;
    m_wantedPage = index;
    if (!m_task && index != m_pageIndex)
        render(index);
}

void PdfPreviewView::render(int index) {
    m_task = new DeadlineTask(m_timeLimit, this);
    connect(m_task, &DeadlineTask::timedOut, this, [this, index] {
        m_task->deleteLater();
        m_task = nullptr;
        if (m_state == State::Pending) {
            showCard();
            return;
        }
        // A later page that takes too long: the page on show stays.
        qCWarning(lcMarvoline) << "page" << index + 1 << "of" << m_url << "not drawn in time";
        m_wantedPage = m_pageIndex;
    });
    const qreal ratio = devicePixelRatioF();
    const QSize box = renderBox();
    m_task->start(
        [path = localPath(m_url), index, box, ratio, self = this](const WorkerChannel& channel) {
            PdfPage page = renderPdfPage(path, index, box);
            page.image.setDevicePixelRatio(ratio);
            channel.post([self, index, page] {
                if (page.drawable)
                    self->takePage(index, page.image, page.pageCount);
                else
                    self->takeNoRenderer();
            });
        });
}

void PdfPreviewView::takePage(int index, const QImage& image, int pageCount) {
    m_task->settle();
    m_task->deleteLater();
    m_task = nullptr;
    const bool first = m_state == State::Pending;
    if (image.isNull()) {
        if (first) {
            m_state = State::Unreadable;
            Q_EMIT ready();
        }
        return;
    }
    m_state = State::Page;
    m_page = image;
    m_pageCount = pageCount;
    update();
    const bool turned = !first && index != m_pageIndex;
    m_pageIndex = index;
    if (first)
        Q_EMIT ready();
    else if (turned)
        Q_EMIT pageShown(index);
    // Pages asked for while this one was drawn: the last of them; else the
    // same page larger, when the view grew meanwhile.
    if (m_wantedPage != m_pageIndex)
        showPage(m_wantedPage);
    else if (!pageCoversView())
        render(m_pageIndex);
}

void PdfPreviewView::takeNoRenderer() {
    // Without the PDF module a PDF is a file like any other.
    m_task->settle();
    m_task->deleteLater();
    m_task = nullptr;
    if (m_state == State::Pending)
        showCard();
}

void PdfPreviewView::showCard() {
    m_state = State::Card;
    auto* card = new FileCardView;
    card->configure(m_url, m_contentType);
    layout()->addWidget(card);
    setAutoFillBackground(false);
    Q_EMIT ready();
}

void PdfPreviewView::paintEvent(QPaintEvent*) {
    if (m_page.isNull()) {
        if (m_state == State::Pending && !m_task && !m_firstPageAwaited && !m_url.isEmpty()) {
            m_firstPageAwaited = true;
            atNextFrame(this, [this] {
                if (m_state == State::Pending && !m_task)
                    render(0);
            });
        }
        return;
    }
    const QRect room = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QSize target =
        m_page.deviceIndependentSize().scaled(room.size(), Qt::KeepAspectRatio).toSize();
    const QRect where(room.topLeft() + QPoint((room.width() - target.width()) / 2,
                                              (room.height() - target.height()) / 2),
                      target);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(where, m_page);
}

void PdfPreviewView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A page being drawn is checked against the view's size when it comes.
    if (m_state == State::Page && !m_task && !pageCoversView())
        render(m_pageIndex);
}

void PdfPreviewView::wheelEvent(QWheelEvent* event) {
    if (m_state != State::Page) {
        event->ignore();
        return;
    }
    // One page per notch of a wheel; touchpads add up to a notch first.
    m_wheelAngle += event->angleDelta().y();
    const int steps = m_wheelAngle / QWheelEvent::DefaultDeltasPerStep;
    m_wheelAngle -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0)
        showPage(qBound(0, m_wantedPage - steps, m_pageCount - 1));
    event->accept();
}

} // namespace marvoline
