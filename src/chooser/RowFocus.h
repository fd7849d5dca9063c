#pragma once

#include <QUrl>

#include <optional>

namespace marvoline {

// Which of the row's controls has the keyboard focus, kept across a rebuild
// of the row.
struct RowFocus {
    std::optional<QUrl> tileApp; // the focused tile's application
    bool trailingButton = false;
    bool eachTile = false;
    bool stopButton = false;
};

} // namespace marvoline
