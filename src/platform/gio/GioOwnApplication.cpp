// The program's own desktop entry: installing it for the user when GIO cannot
// find it, and making it the default application of a content type.

#include "platform/gio/GioAppRegistry.h"

#include "platform/FilePaths.h"
#include "platform/RegistryReadScope.h"
#include "platform/gio/GObjectPtr.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QThread>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace marvoline {

namespace {

using gio::OutParam;
template <typename T> using GObjectPtr = gio::Owned<T, g_object_unref>;
using GCharPtr = gio::Owned<char, g_free>;
using GErrorPtr = gio::Owned<GError, g_error_free>;
using GKeyFilePtr = gio::Owned<GKeyFile, g_key_file_free>;

// How long setting the default waits for GIO to index an entry written just
// before; its directory monitor usually needs a few milliseconds.
constexpr int indexWaitMs = 1500;

QByteArray ownId() {
    return AppRegistry::ownIdentifier().toUtf8();
}

QString ownEntryPath() {
    return QFile::decodeName(g_get_user_data_dir()) + QStringLiteral("/applications/") +
           AppRegistry::ownIdentifier();
}

bool existsOrDangles(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Writes the program's desktop entry, running this executable, to the path;
// never replaces a file that is there.
bool writeOwnEntry(const QString& path) {
    if (existsOrDangles(path))
        return false;
    QFile resource(QStringLiteral(":/org.marvoline.Marvoline.desktop"));
    const QString program = QCoreApplication::applicationFilePath();
    if (program.isEmpty() || !resource.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = resource.readAll();

    const GKeyFilePtr keyFile(g_key_file_new());
    GErrorPtr error;
    if (!g_key_file_load_from_data(
            keyFile.get(), text.constData(), gsize(text.size()),
            GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS),
            OutParam(error)))
        return false;
    const QByteArray exec = GioAppRegistry::ownExecLine(program).toUtf8();
    // set_string adds the string-level escapes (backslash, newline, ...).
    g_key_file_set_string(keyFile.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC,
                          exec.constData());
    gsize length = 0;
    const GCharPtr data(g_key_file_to_data(keyFile.get(), &length, nullptr));
    if (!data)
        return false;

    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(data.get(), qint64(length));
    // Another chooser may have written one meanwhile: that one stays.
    if (existsOrDangles(path)) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

bool defaultIsOwn(const QByteArray& type) {
    const GObjectPtr<GAppInfo> current(g_app_info_get_default_for_type(type.constData(), FALSE));
    const char* id = current ? g_app_info_get_id(current.get()) : nullptr;
    return id && ownId() == id;
}

bool ownEntryIndexed() {
    const GObjectPtr<GDesktopAppInfo> found(g_desktop_app_info_new(ownId().constData()));
    return bool(found);
}

} // namespace

void GioAppRegistry::registerOwnApplication() {
    if (!applicationForIdentifier(ownIdentifier()) && writeOwnEntry(ownEntryPath()))
        RegistryReadScope::forget();
}

bool GioAppRegistry::setOwnApplicationAsDefault(const QString& contentType) {
    if (contentType.isEmpty())
        return false;
    // Whatever happens below, the answers kept from before are not trusted after.
    const auto forgetReadings = qScopeGuard([] { RegistryReadScope::forget(); });
    RegistryReadScope::forget();
    // The entry GIO knows by the ID, else the user's own file, which GIO may
    // not have indexed yet when it was written a moment ago. A file there that
    // is not usable (hidden by the user, broken) is left alone.
    std::optional<QUrl> entry = applicationForIdentifier(ownIdentifier());
    const bool indexed = entry.has_value();
    if (!entry) {
        const QString path = ownEntryPath();
        writeOwnEntry(path);
        entry = fileUrlFromPath(QFile::encodeName(path));
    }
    if (!bundleIdentifier(*entry))
        return false;
    const GObjectPtr<GDesktopAppInfo> own(
        g_desktop_app_info_new_from_filename(localPath(*entry).constData()));
    if (!own)
        return false;

    const QByteArray type = contentType.toUtf8();
    GErrorPtr error;
    if (!g_app_info_set_as_default_for_type(G_APP_INFO(own.get()), type.constData(),
                                            OutParam(error)))
        return false;
    if (indexed || defaultIsOwn(type))
        return defaultIsOwn(type);

    // GIO names only entries it has indexed as default; its monitor of the
    // applications folder catches up with the new file shortly.
    const QDeadlineTimer deadline(indexWaitMs);
    while (!ownEntryIndexed() && !deadline.hasExpired())
        QThread::msleep(10);
    return defaultIsOwn(type);
}

QString GioAppRegistry::ownExecLine(const QString& program) {
    const QString run = desktopExecArgument(program) + QStringLiteral(" %F");
    return program.contains(QLatin1Char('%')) ? QStringLiteral("env ") + run : run;
}

QString GioAppRegistry::desktopExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    QString out;
    out.reserve(argument.size() + 2);
    for (const QChar c : argument) {
        if (reserved.contains(c))
            quote = true;
        // Inside double quotes these four take a backslash; each of them is
        // reserved, so an argument holding one is always quoted.
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    return quote ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}

} // namespace marvoline
