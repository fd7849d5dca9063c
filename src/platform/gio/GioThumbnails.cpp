#include "platform/Thumbnails.h"

#include "platform/gio/GObjectPtr.h"

#include <gio/gio.h>

namespace marvoline {

namespace {
template <typename T> using GObjectPtr = gio::Owned<T, g_object_unref>;
} // namespace

std::optional<QByteArray> cachedThumbnailPath(const QUrl& file) {
    const QByteArray uri = file.toEncoded();
    if (!file.isLocalFile() || uri.isEmpty())
        return std::nullopt;
    const GObjectPtr<GFile> gfile(g_file_new_for_uri(uri.constData()));
    // GIO looks the file up in the thumbnail cache and compares the
    // thumbnail's recorded modification time with the file's. A file without
    // a thumbnail is no error worth reporting, so none is asked for.
    const GObjectPtr<GFileInfo> info(g_file_query_info(
        gfile.get(), G_FILE_ATTRIBUTE_THUMBNAIL_PATH "," G_FILE_ATTRIBUTE_THUMBNAIL_IS_VALID,
        G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    if (!info)
        return std::nullopt;
    const char* path =
        g_file_info_get_attribute_byte_string(info.get(), G_FILE_ATTRIBUTE_THUMBNAIL_PATH);
    if (!path || !*path)
        return std::nullopt;
    if (g_file_info_has_attribute(info.get(), G_FILE_ATTRIBUTE_THUMBNAIL_IS_VALID) &&
        !g_file_info_get_attribute_boolean(info.get(), G_FILE_ATTRIBUTE_THUMBNAIL_IS_VALID))
        return std::nullopt;
    return QByteArray(path);
}

} // namespace marvoline
