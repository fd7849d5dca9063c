// Content types through GIO: a file's type as GIO reads it (its contents and
// name, through the shared MIME database), how types relate, and their names;
// and the look-ups by type or scheme alone, before any entry is asked for.

#include "platform/gio/GioAppRegistry.h"

#include "platform/RegistryReadScope.h"
#include "platform/gio/GObjectPtr.h"

#include <gio/gio.h>

namespace marvoline {

namespace {

// The type GIO reads from the file's contents and name.
std::optional<QString> queryContentType(const QByteArray& uri) {
    const gio::Owned<GFile, g_object_unref> gfile(g_file_new_for_uri(uri.constData()));
    gio::Owned<GError, g_error_free> error;
    const gio::Owned<GFileInfo, g_object_unref> info(
        g_file_query_info(gfile.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                          G_FILE_QUERY_INFO_NONE, nullptr, gio::OutParam(error)));
    if (!info)
        return std::nullopt;
    const char* type =
        g_file_info_get_attribute_string(info.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE);
    if (!type || !*type)
        return std::nullopt;
    return QString::fromUtf8(type);
}

} // namespace

std::optional<QString> GioAppRegistry::contentType(const QUrl& file) {
    const QByteArray uri = file.toEncoded();
    if (uri.isEmpty() || file.isRelative())
        return std::nullopt;
    return RegistryReadScope::remembered(&RegistryReadScope::Readings::contentTypes,
                                         QString::fromLatin1(uri),
                                         [&uri] { return queryContentType(uri); });
}

bool GioAppRegistry::contentTypeIsA(const QString& type, const QString& supertype) {
    if (type.isEmpty() || supertype.isEmpty())
        return false;
    return g_content_type_is_a(type.toUtf8().constData(), supertype.toUtf8().constData());
}

void GioAppRegistry::readApplicationFolders() {
    // Any type will do: GIO reads every folder, and keeps what it read for the
    // process, on its first look-up of a default.
    const gio::Owned<GAppInfo, g_object_unref> app(
        g_app_info_get_default_for_type("application/octet-stream", FALSE));
}

bool GioAppRegistry::handlesUriScheme(const QString& scheme) {
    if (scheme.isEmpty())
        return false;
    const gio::Owned<GAppInfo, g_object_unref> handler(
        g_app_info_get_default_for_uri_scheme(scheme.toUtf8().constData()));
    return handler != nullptr;
}

std::optional<QString> GioAppRegistry::contentTypeDescription(const QString& type) {
    const QByteArray utf8 = type.toUtf8();
    if (type.isEmpty() || g_content_type_is_unknown(utf8.constData()))
        return std::nullopt;
    const gio::Owned<char, g_free> description(g_content_type_get_description(utf8.constData()));
    if (!description || !*description.get())
        return std::nullopt;
    return QString::fromUtf8(description.get());
}

} // namespace marvoline
