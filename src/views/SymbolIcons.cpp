#include "views/SymbolIcons.h"

#include "views/SymbolIconEngine.h"

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include <algorithm>
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

QIcon bundledIcon(const QString& path, const std::optional<QColor>& tint) {
    if (!QFile::exists(path))
        return {};
    // Drawn when shown, at the size shown.
    return QIcon(new SymbolIconEngine(path, tint));
}

// Whether every visible pixel of the image is a shade of grey.
bool isMonochrome(const QImage& image) {
    constexpr int kGreyTolerance = 24;
    const QImage rgb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = line[x];
            if (qAlpha(p) < 32)
                continue;
            const int high = std::max({qRed(p), qGreen(p), qBlue(p)});
            const int low = std::min({qRed(p), qGreen(p), qBlue(p)});
            if (high - low > kGreyTolerance)
                return false;
        }
    }
    return true;
}

// A theme's icon; drawn in the colour when it is monochrome (a symbolic icon
// keeps the theme's own dark grey otherwise, unreadable on a dark ground).
QIcon themeIcon(const QString& name, const QColor& color) {
    const QIcon source = QIcon::fromTheme(name);
    const QImage probe = source.pixmap(QSize(32, 32), 1.0).toImage();
    if (probe.isNull() || !isMonochrome(probe))
        return source;
    // Recoloured when shown, at the size shown.
    return QIcon(new SymbolIconEngine(source, color));
}

} // namespace

QString bundledSymbolPath(const QString& symbolName) {
    if (!findSymbol(symbolName))
        return {};
    return QStringLiteral(":/icons/") + symbolName + QStringLiteral(".svg");
}

QIcon symbolIcon(const QString& symbolName, const QColor& color) {
    const SymbolEntry* entry = findSymbol(symbolName);
    if (!entry)
        return {};
    const QColor ink =
        color.isValid() ? color : QGuiApplication::palette().color(QPalette::WindowText);
    for (const char* themeName : entry->themeNames) {
        if (!themeName)
            break;
        const QString name = QString::fromLatin1(themeName);
        if (QIcon::hasThemeIcon(name))
            return themeIcon(name, ink);
    }
    std::optional<QColor> tint;
    if (entry->tinted)
        tint = ink;
    return bundledIcon(bundledSymbolPath(symbolName), tint);
}

QIcon programIcon() {
    const QString name = QStringLiteral("org.marvoline.Marvoline");
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    // Drawn as Qt's SVG icons are, at each size asked for, but from one reading
    // of the file: the title bar asks for four sizes at once.
    return QIcon(
        new SymbolIconEngine(QStringLiteral(":/icon/org.marvoline.Marvoline.svg"), std::nullopt));
}

} // namespace marvoline
