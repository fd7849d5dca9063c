#include "platform/PngReading.h"

#include <QColor>
#include <QImage>
#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QImageReader>
#include <QRect>
#include <QSize>
#include <QtPlugin>

#include <memory>

// This file is compiled on its own, as a static plugin (QT_STATICPLUGIN);
// moc defines this, for the plugin class below.
extern const QStaticPlugin qt_static_plugin_PngImagePlugin();

namespace marvoline {

namespace {

// Set while a handler below works through its inner reader, which looks for
// a PNG reader too and must then find Qt's own.
thread_local int t_forwarding = 0;

class Forwarding {
public:
    Forwarding() { ++t_forwarding; }
    ~Forwarding() { --t_forwarding; }
    Forwarding(const Forwarding&) = delete;
    Forwarding& operator=(const Forwarding&) = delete;
};

// Hands everything to a reader told to use nothing but Qt's own PNG decoder,
// on the same device: what that decoder supports is supported, what it does
// not the outer reader does itself, as it would for the decoder.
class PngImageHandler final : public QImageIOHandler {
public:
    static inline const QByteArray kSignature = QByteArrayLiteral("\x89PNG\r\n\x1a\n");

    bool canRead() const override {
        if (!device())
            return false;
        // Qt asks a handler it has just made, before it hands it over, while
        // it holds the lock that every reader's choice of a handler takes: the
        // inner reader would wait for it. It is asked as Qt's decoder asks.
        if (!m_inner) {
            if (device()->peek(kSignature.size()) != kSignature)
                return false;
            setFormat(QByteArrayLiteral("png"));
            return true;
        }
        const Forwarding forwarding;
        return m_inner->canRead();
    }

    bool read(QImage* image) override {
        const Forwarding forwarding;
        return inner().read(image);
    }

    bool supportsOption(ImageOption option) const override {
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

    QVariant option(ImageOption option) const override {
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

    void setOption(ImageOption option, const QVariant& value) override {
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

private:
    // Made on first use: the device is set after the handler is made.
    QImageReader& inner() const {
        if (!m_inner) {
            m_inner = std::make_unique<QImageReader>(device(), QByteArrayLiteral("png"));
            // Only a reader of the format it is told: no plugin is asked.
            m_inner->setAutoDetectImageFormat(false);
            // The outer reader turns the image if it is asked to.
            m_inner->setAutoTransform(false);
        }
        return *m_inner;
    }

    mutable std::unique_ptr<QImageReader> m_inner;
};

} // namespace

class PngImagePlugin final : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "PngImagePlugin.json")

public:
    Capabilities capabilities(QIODevice* /*device*/, const QByteArray& format) const override {
        // Files are recognised by their contents as before: by Qt, after the
        // plugins.
        return format == "png" && t_forwarding == 0 ? CanRead : Capabilities();
    }

    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override {
        auto* handler = new PngImageHandler;
        handler->setDevice(device);
        handler->setFormat(format);
        return handler;
    }
};

} // namespace marvoline

void marvoline::readPngWithoutPlugins() {
    static const bool registered = [] {
        qRegisterStaticPluginFunction(qt_static_plugin_PngImagePlugin());
        return true;
    }();
    Q_UNUSED(registered);
}

#include "PngReading.moc"
