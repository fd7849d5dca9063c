#pragma once

#include <QByteArray>
#include <QImage>

#include <functional>

namespace marvoline {

// One decoded picture of an image file, with how long an animation shows it.
struct ImageFrame {
    QImage image;
    int delayMs = 0;
    bool animated = false; // one of several frames
};

struct ImageFrameLimits {
    // Larger pictures are decoded at a reduced size: a preview never needs
    // more, and a huge photo would otherwise take seconds and gigabytes.
    int maxSide = 2048;
    // An animation's frames are smaller still, about the pane's size, since
    // the window paints one after the other; and the decoding stops (the
    // animation plays the frames it has) when they would take more memory.
    int maxAnimationSide = 512;
    qsizetype maxAnimationBytes = qsizetype(64) * 1024 * 1024;
};

// What decodeImageFrames found.
struct ImageFramesResult {
    int frames = 0; // frames handed out; 0: not an image that can be read
    bool animated = false;
    int loopCount = 0; // as QImageReader says: -1 forever, 0 play once
};

// Decodes the image at the raw path, turned upright as its metadata says,
// handing out each frame as soon as it is decoded (a still image has one);
// stops when onFrame returns false. Slow on large or hostile files: call it off
// the window's thread only.
ImageFramesResult decodeImageFrames(const QByteArray& path, const ImageFrameLimits& limits,
                                    const std::function<bool(ImageFrame)>& onFrame);

} // namespace marvoline
