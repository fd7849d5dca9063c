#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>

class QMovie;

namespace marvoline {

// An image shown whole in the middle of the view, scaled down to fit and
// never enlarged. Images with several frames play.
class ImagePreviewView : public QWidget {
    Q_OBJECT

public:
    // Larger images are decoded at a reduced size: the preview never needs
    // more, and a huge photo would otherwise take seconds and gigabytes.
    static constexpr int kMaxDecodedSide = 2048;

    explicit ImagePreviewView(QWidget* parent = nullptr);

    // Reads the image at the path, turned upright as its metadata says; false
    // when it is not an image that can be read (the view then stays empty).
    bool load(const QByteArray& path);

    bool isAnimated() const { return m_movie != nullptr; }
    // The frame on show.
    QImage currentImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool startMovie(const QByteArray& path);

    QImage m_image;
    QMovie* m_movie = nullptr;
};

} // namespace marvoline
