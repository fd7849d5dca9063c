#pragma once

#include <QByteArray>
#include <QImageIOHandler>

#include <memory>

class QImageReader;

namespace marvoline {

// Reads a PNG with Qt's own decoder and nothing else: everything is handed to
// a reader on the same device that is told the format and guesses nothing, so
// it asks no image format plugin. What that decoder supports is supported;
// what it does not the outer reader does itself, as it would for the decoder.
class PngImageHandler final : public QImageIOHandler {
public:
    PngImageHandler();
    ~PngImageHandler() override;

    // True while a handler on this thread works through its inner reader,
    // which looks for a PNG reader too and must then find Qt's own.
    static bool forwarding();

    bool canRead() const override;
    bool read(QImage* image) override;
    bool supportsOption(ImageOption option) const override;
    QVariant option(ImageOption option) const override;
    void setOption(ImageOption option, const QVariant& value) override;

private:
    QImageReader& inner() const;

    // Made on first use: the device is set after the handler is made.
    mutable std::unique_ptr<QImageReader> m_inner;
};

} // namespace marvoline
