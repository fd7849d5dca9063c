#include "platform/ImageFrames.h"

#include "platform/FileContents.h"

#include <QFile>
#include <QImageReader>

namespace marvoline {

namespace {

// Frames asking for less, mostly none at all, are shown for a tenth of a
// second, as browsers do; otherwise they would spin.
constexpr int kMinFrameDelayMs = 20;
constexpr int kDefaultFrameDelayMs = 100;

} // namespace

ImageFramesResult decodeImageFrames(const QByteArray& path, const ImageFrameLimits& limits,
                                    const std::function<bool(ImageFrame)>& onFrame) {
    ImageFramesResult result;
    const std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file)
        return result;
    QImageReader reader(file.get());
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return result;
    result.animated = reader.supportsAnimation() && reader.imageCount() != 1;
    result.loopCount = result.animated ? reader.loopCount() : 0;
    // What an animation's reader gives as its size need not be the frames'
    // (Qt's GIF reader mixes the first frame's and the screen's): its frames
    // are scaled once decoded.
    const QSize size = reader.size();
    if (!result.animated && !size.isEmpty() && qMax(size.width(), size.height()) > limits.maxSide)
        reader.setScaledSize(size.scaled(limits.maxSide, limits.maxSide, Qt::KeepAspectRatio));

    qsizetype bytes = 0;
    for (;;) {
        ImageFrame frame{reader.read(), 0, result.animated};
        if (frame.image.isNull())
            break;
        const int side = limits.maxAnimationSide;
        if (result.animated && qMax(frame.image.width(), frame.image.height()) > side)
            frame.image =
                frame.image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        // In the format the window paints from, so that painting converts nothing.
        if (result.animated)
            frame.image.convertTo(QImage::Format_ARGB32_Premultiplied);
        const int delay = reader.nextImageDelay();
        frame.delayMs = delay < kMinFrameDelayMs ? kDefaultFrameDelayMs : delay;
        bytes += frame.image.sizeInBytes();
        ++result.frames;
        if (!onFrame(std::move(frame)) || !result.animated || bytes >= limits.maxAnimationBytes)
            break;
    }
    return result;
}

} // namespace marvoline
