#pragma once

#include <QImage>
#include <QList>
#include <QTimer>
#include <QWidget>

namespace marvoline {

// An image shown whole in the middle of the view, scaled down to fit and
// never enlarged. The pictures are decoded elsewhere and handed in: one for a
// still image, frame by frame for an animation, which plays as its frames
// arrive and loops once they are all in.
class ImagePreviewView : public QWidget {
    Q_OBJECT

public:
    explicit ImagePreviewView(QWidget* parent = nullptr);

    // Shows the still image.
    void setImage(const QImage& image);
    // Adds the animation's next frame, shown for delayMs; the first one shows
    // at once.
    void addFrame(const QImage& image, int delayMs);
    // No more frames come; loopCount as QImageReader says (-1 forever, 0 once,
    // n: n more times).
    void finishFrames(int loopCount);

    bool isAnimated() const { return m_frames.size() > 1; }
    // The frame on show.
    QImage currentImage() const;
    int currentFrame() const { return m_current; }

Q_SIGNALS:
    // Another frame of the animation is on show.
    void frameShown(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Frame {
        QImage image;
        int delayMs = 0;
    };
    void showNextFrame();

    QList<Frame> m_frames;
    int m_current = -1;
    bool m_allFramesIn = false;
    int m_loopsLeft = 0;
    bool m_waitingForFrame = false;
    QTimer m_frameTimer;
};

} // namespace marvoline
