#pragma once

#include "platform/FilePaths.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QUrl>

namespace marvoline {

// The path of an application's desktop entry as it is stored and compared:
// absolute, without scheme and without trailing slashes, so that
// "file:///a/b.desktop" and "file:///a/b.desktop/" name the same application.
// Empty for a URL that is not a local file.
inline QString applicationPath(const QUrl& appURL) {
    QByteArray path = localPath(appURL);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return QFile::decodeName(path);
}

// Two application URLs are the same application when their paths are equal.
inline bool isSameApplication(const QUrl& a, const QUrl& b) {
    const QString path = applicationPath(a);
    return !path.isEmpty() && path == applicationPath(b);
}

inline qsizetype indexOfApplication(const QList<QUrl>& apps, const QUrl& app) {
    for (qsizetype i = 0; i < apps.size(); ++i) {
        if (isSameApplication(apps.at(i), app))
            return i;
    }
    return -1;
}

inline bool containsApplication(const QList<QUrl>& apps, const QUrl& app) {
    return indexOfApplication(apps, app) >= 0;
}

} // namespace marvoline
