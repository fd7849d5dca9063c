#pragma once

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace marvoline {

// The path of a thumbnail of the file that the desktop has already made and
// that is still up to date (freedesktop thumbnail cache); absent when there is
// none. Nothing is generated.
std::optional<QByteArray> cachedThumbnailPath(const QUrl& file);

} // namespace marvoline
