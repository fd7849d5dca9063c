#include "platform/FilePaths.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marvoline {

QUrl fileUrlFromPath(const QByteArray& path) {
    // Percent-encode everything but unreserved characters and "/", so that
    // bytes outside UTF-8 survive in the URL's encoded form.
    return QUrl::fromEncoded(QByteArrayLiteral("file://") + path.toPercentEncoding("/"),
                             QUrl::StrictMode);
}

QByteArray localPath(const QUrl& fileUrl) {
    if (!fileUrl.isLocalFile())
        return {};
    return QByteArray::fromPercentEncoding(fileUrl.path(QUrl::FullyEncoded).toLatin1());
}

QString displayFileName(const QUrl& fileUrl) {
    QByteArray path = localPath(fileUrl);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    return QFile::decodeName(slash >= 0 && path.size() > 1 ? path.mid(slash + 1) : path);
}

bool pathExists(const QByteArray& path) {
    // A NUL byte ends the path for the system, which would look at another
    // file than the one named.
    if (path.isEmpty() || path.contains('\0'))
        return false;
    struct stat st {};
    return ::stat(path.constData(), &st) == 0;
}

bool fileExists(const QUrl& fileUrl) {
    return pathExists(localPath(fileUrl));
}

QByteArray homePath() {
    if (const char* home = ::getenv("HOME"); home && *home)
        return QByteArray(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return QByteArray(pw->pw_dir);
    return QFile::encodeName(QDir::homePath());
}

} // namespace marvoline
