#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>

#include <optional>

namespace marvoline {

// One application offered for the first file on show.
struct AppCandidate {
    QUrl url;                       // file URL of the application's desktop entry; its identity
    QString name;                   // display name
    std::optional<QString> version; // only when another candidate has the same name
    std::optional<QIcon> icon;
    bool isDefault = false;
};

} // namespace marvoline
