#include "views/PdfPreviewView.h"

#include "platform/FilePaths.h"
#include "platform/Logging.h"
#include "platform/PdfPages.h"
#include "views/FileCardView.h"

#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>

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
    render(0);
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
    const QSize box = QSize(kRenderSide, kRenderSide) * ratio;
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
    m_pageIndex = index;
    m_pageCount = pageCount;
    update();
    if (first)
        Q_EMIT ready();
    else
        Q_EMIT pageShown(index);
    // Pages asked for while this one was drawn: the last of them.
    if (m_wantedPage != m_pageIndex)
        showPage(m_wantedPage);
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
    if (m_page.isNull())
        return;
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
