#include "views/SymbolIcons.h"

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QStringList>
#include <QSvgRenderer>

#include <array>
#include <optional>

namespace marvoline {

namespace {

struct SymbolEntry {
    const char* symbol;
    std::array<const char*, 3> themeNames; // tried in order; nullptr ends the list
    bool tinted;                           // drawn in the text colour
};

constexpr std::array kSymbols{
    SymbolEntry{"clock", {"appointment-soon", "alarm-symbolic", nullptr}, true},
    SymbolEntry{"doc.on.doc", {"edit-copy", nullptr, nullptr}, true},
    SymbolEntry{"square.and.arrow.up", {"document-send", "emblem-shared", nullptr}, true},
    SymbolEntry{"arrow.triangle.branch", {"vcs-branch", nullptr, nullptr}, true},
    SymbolEntry{"line.3.horizontal", {"open-menu-symbolic", "application-menu", nullptr}, true},
    // White on the red stop button whatever the theme: never taken from it.
    SymbolEntry{"stop.fill", {nullptr, nullptr, nullptr}, false},
};

const SymbolEntry* findSymbol(const QString& symbolName) {
    for (const SymbolEntry& entry : kSymbols) {
        if (symbolName == QLatin1String(entry.symbol))
            return &entry;
    }
    return nullptr;
}

// Renders the SVG at one device size, optionally recoloured: the bundled
// symbols are drawn in black and take the colour through their alpha.
QPixmap renderSymbol(QSvgRenderer& renderer, int deviceSize, const std::optional<QColor>& tint) {
    QImage image(deviceSize, deviceSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, deviceSize, deviceSize));
        if (tint) {
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), *tint);
        }
    }
    return QPixmap::fromImage(std::move(image));
}

QIcon bundledIcon(const QString& path, bool tinted) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    std::optional<QColor> tint;
    if (tinted)
        tint = QGuiApplication::palette().color(QPalette::WindowText);
    QIcon icon;
    // Device sizes: QIcon picks the one that matches size times the screen's
    // pixel ratio.
    static constexpr std::array kDeviceSizes{10, 12, 16, 20, 24, 32, 40, 48, 64, 96};
    for (const int size : kDeviceSizes)
        icon.addPixmap(renderSymbol(renderer, size, tint));
    return icon;
}

} // namespace

QString bundledSymbolPath(const QString& symbolName) {
    if (!findSymbol(symbolName))
        return {};
    return QStringLiteral(":/icons/") + symbolName + QStringLiteral(".svg");
}

QIcon symbolIcon(const QString& symbolName) {
    const SymbolEntry* entry = findSymbol(symbolName);
    if (!entry)
        return {};
    for (const char* themeName : entry->themeNames) {
        if (!themeName)
            break;
        const QString name = QString::fromLatin1(themeName);
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return bundledIcon(bundledSymbolPath(symbolName), entry->tinted);
}

} // namespace marvoline
