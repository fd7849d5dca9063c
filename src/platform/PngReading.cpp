#include "platform/PngReading.h"

#include "platform/PngImageHandler.h"

#include <QImageIOPlugin>
#include <QtPlugin>

// This file is compiled on its own, as a static plugin (QT_STATICPLUGIN);
// moc defines this, for the plugin class below.
extern const QStaticPlugin qt_static_plugin_PngImagePlugin();

namespace marvoline {

class PngImagePlugin final : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "PngImagePlugin.json")

public:
    Capabilities capabilities(QIODevice* /*device*/, const QByteArray& format) const override {
        // Files are recognised by their contents as before: by Qt, after the
        // plugins.
        return format == "png" && !PngImageHandler::forwarding() ? CanRead : Capabilities();
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
