#include "views/ImagePreviewView.h"

#include <QPainter>

namespace marvoline {

ImagePreviewView::ImagePreviewView(QWidget* parent)
    : QWidget(parent) {
    m_frameTimer.setSingleShot(true);
    connect(&m_frameTimer, &QTimer::timeout, this, &ImagePreviewView::showNextFrame);
}

void ImagePreviewView::setImage(const QImage& image) {
    m_frameTimer.stop();
    m_frames = {Frame{image, 0}};
    m_current = 0;
    m_allFramesIn = true;
    m_waitingForFrame = false;
    update();
}

void ImagePreviewView::addFrame(const QImage& image, int delayMs) {
    m_frames.append(Frame{image, delayMs});
    if (m_current < 0) {
        m_current = 0;
        m_frameTimer.start(delayMs);
        update();
        Q_EMIT frameShown(0);
    } else if (m_waitingForFrame) {
        m_waitingForFrame = false;
        showNextFrame();
    }
}

void ImagePreviewView::finishFrames(int loopCount) {
    m_allFramesIn = true;
    m_loopsLeft = loopCount;
    if (m_waitingForFrame) {
        m_waitingForFrame = false;
        showNextFrame();
    }
}

void ImagePreviewView::showNextFrame() {
    int next = m_current + 1;
    if (next >= m_frames.size()) {
        if (!m_allFramesIn) {
            // Decoding is behind the clock: the next frame shows when it comes.
            m_waitingForFrame = true;
            return;
        }
        if (m_frames.size() < 2 || m_loopsLeft == 0)
            return; // played out; the last frame stays
        if (m_loopsLeft > 0)
            --m_loopsLeft;
        next = 0;
    }
    m_current = next;
    m_frameTimer.start(m_frames.at(next).delayMs);
    update();
    Q_EMIT frameShown(next);
}

QImage ImagePreviewView::currentImage() const {
    return m_current >= 0 ? m_frames.at(m_current).image : QImage();
}

void ImagePreviewView::paintEvent(QPaintEvent*) {
    const QImage image = currentImage();
    if (image.isNull())
        return;
    QSize target = image.size();
    if (target.width() > width() || target.height() > height())
        target.scale(size(), Qt::KeepAspectRatio);
    const QRect where(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2),
                      target);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(where, image);
}

} // namespace marvoline
