#include "views/SymbolIcons.h"

#include "views/SymbolIconEngine.h"

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>

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

QIcon bundledIcon(const QString& path, bool tinted) {
    if (!QFile::exists(path))
        return {};
    std::optional<QColor> tint;
    if (tinted)
        tint = QGuiApplication::palette().color(QPalette::WindowText);
    // Drawn when shown, at the size shown.
    return QIcon(new SymbolIconEngine(path, tint));
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
