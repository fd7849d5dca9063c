#pragma once

#include <QIcon>
#include <QUrl>

namespace marvoline {

// The icon of a document or folder: the icon theme's image for the file's MIME
// type (its icon name, then its generic icon name, then a generic text or
// binary document), the theme's folder icon for folders, and the style's file
// or folder image when the theme has none. Never a null icon.
QIcon iconForFile(const QUrl& file);

} // namespace marvoline
