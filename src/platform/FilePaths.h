#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace marvoline {

// File names on Linux are bytes. A file URL made here keeps every byte of the
// path (percent-encoded where needed), so a name that is not valid UTF-8 comes
// back unchanged from localPath(); QUrl::toLocalFile() would replace it.
QUrl fileUrlFromPath(const QByteArray& path);

// The bytes of a file URL's path; empty for a URL that is not a local file.
QByteArray localPath(const QUrl& fileUrl);

// The last path component for display (lossy for names that are not UTF-8).
QString displayFileName(const QUrl& fileUrl);

// Whether anything exists at the path (file, folder, special file); a dangling
// symbolic link counts as absent.
bool pathExists(const QByteArray& path);
bool fileExists(const QUrl& fileUrl);

// The user's home folder as bytes ($HOME, else the password database).
QByteArray homePath();

} // namespace marvoline
