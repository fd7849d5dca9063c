#include "views/ImagePreviewView.h"

#include "platform/FileContents.h"

#include <QFile>
#include <QImageReader>
#include <QMovie>
#include <QPainter>

namespace marvoline {

ImagePreviewView::ImagePreviewView(QWidget* parent)
    : QWidget(parent) {}

bool ImagePreviewView::load(const QByteArray& path) {
    std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file)
        return false;
    QImageReader reader(file.get());
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return false;
    if (reader.supportsAnimation() && reader.imageCount() != 1 && startMovie(path))
        return true;
    const QSize size = reader.size();
    if (size.isValid() && qMax(size.width(), size.height()) > kMaxDecodedSide)
        reader.setScaledSize(size.scaled(kMaxDecodedSide, kMaxDecodedSide, Qt::KeepAspectRatio));
    m_image = reader.read();
    update();
    return !m_image.isNull();
}

bool ImagePreviewView::startMovie(const QByteArray& path) {
    std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file)
        return false;
    auto* movie = new QMovie(this);
    file->setParent(movie);
    movie->setDevice(file.release());
    if (!movie->isValid()) {
        delete movie;
        return false;
    }
    m_movie = movie;
    connect(m_movie, &QMovie::frameChanged, this, [this] { update(); });
    m_movie->start();
    return true;
}

QImage ImagePreviewView::currentImage() const {
    return m_movie ? m_movie->currentImage() : m_image;
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
