#include "platform/PngImageHandler.h"

#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QRect>
#include <QSize>

namespace marvoline {

namespace {

thread_local int t_forwarding = 0;

// Marks the time a handler spends in its inner reader.
class Forwarding {
public:
    Forwarding() { ++t_forwarding; }
    ~Forwarding() { --t_forwarding; }
    Forwarding(const Forwarding&) = delete;
    Forwarding& operator=(const Forwarding&) = delete;
};

const QByteArray& pngSignature() {
    static const QByteArray signature = QByteArrayLiteral("\x89PNG\r\n\x1a\n");
    return signature;
}

} // namespace

PngImageHandler::PngImageHandler() = default;
PngImageHandler::~PngImageHandler() = default;

bool PngImageHandler::forwarding() {
    return t_forwarding != 0;
}

bool PngImageHandler::canRead() const {
    if (!device())
        return false;
    // Qt asks a handler it has just made, before it hands it over, while it
    // holds the lock that every reader's choice of a handler takes: the inner
    // reader would wait for it. It is asked as Qt's decoder asks.
    if (!m_inner) {
        if (device()->peek(pngSignature().size()) != pngSignature())
            return false;
        setFormat(QByteArrayLiteral("png"));
        return true;
    }
    const Forwarding forwarding;
    return m_inner->canRead();
}

bool PngImageHandler::read(QImage* image) {
    const Forwarding forwarding;
    return inner().read(image);
}

bool PngImageHandler::supportsOption(ImageOption option) const {
    switch (option) {
    case Size:
    case ImageFormat:
    case ImageTransformation:
    case Quality:
    case BackgroundColor:
    case ClipRect:
    case ScaledSize:
    case ScaledClipRect: {
        const Forwarding forwarding;
        return inner().supportsOption(option);
    }
    default:
        return false;
    }
}

QVariant PngImageHandler::option(ImageOption option) const {
    const Forwarding forwarding;
    QImageReader& reader = inner();
    switch (option) {
    case Size:
        return reader.size();
    case ImageFormat:
        return int(reader.imageFormat());
    case ImageTransformation:
        return int(reader.transformation());
    case Quality:
        return reader.quality();
    case BackgroundColor:
        return reader.backgroundColor();
    case ClipRect:
        return reader.clipRect();
    case ScaledSize:
        return reader.scaledSize();
    case ScaledClipRect:
        return reader.scaledClipRect();
    default:
        return {};
    }
}

void PngImageHandler::setOption(ImageOption option, const QVariant& value) {
    const Forwarding forwarding;
    QImageReader& reader = inner();
    switch (option) {
    case Quality:
        reader.setQuality(value.toInt());
        break;
    case BackgroundColor:
        reader.setBackgroundColor(value.value<QColor>());
        break;
    case ClipRect:
        reader.setClipRect(value.toRect());
        break;
    case ScaledSize:
        reader.setScaledSize(value.toSize());
        break;
    case ScaledClipRect:
        reader.setScaledClipRect(value.toRect());
        break;
    default:
        break;
    }
}

QImageReader& PngImageHandler::inner() const {
    if (!m_inner) {
        m_inner = std::make_unique<QImageReader>(device(), QByteArrayLiteral("png"));
        // Only a reader of the format it is told: no plugin is asked.
        m_inner->setAutoDetectImageFormat(false);
        // The outer reader turns the image if it is asked to.
        m_inner->setAutoTransform(false);
    }
    return *m_inner;
}

} // namespace marvoline
