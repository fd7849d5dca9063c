#include "platform/FileIcons.h"

#include "platform/FilePaths.h"

#include <QApplication>
#include <QFile>
#include <QMimeDatabase>
#include <QMimeType>
#include <QPixmap>
#include <QStringList>
#include <QStyle>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marvoline {

namespace {

QIcon styleIcon(QStyle::StandardPixmap which) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        const QIcon icon = QApplication::style()->standardIcon(which);
        if (!icon.isNull())
            return icon;
    }
    // Without a widget style (no QApplication) a blank image still keeps the
    // icon non-null, so callers can lay it out.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

QIcon firstThemeIcon(const QStringList& names) {
    for (const QString& name : names) {
        if (name.isEmpty())
            continue;
        const QIcon icon = QIcon::fromTheme(name);
        if (!icon.isNull())
            return icon;
    }
    return {};
}

// The MIME type of the file at the raw path. Regular files are typed by name
// and contents (read through a descriptor, so names that are not UTF-8 work);
// special files get their inode type, and nothing is read from them.
QMimeType mimeTypeOf(const QByteArray& path, const struct stat& st) {
    const QMimeDatabase db;
    if (S_ISCHR(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/chardevice"));
    if (S_ISBLK(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/blockdevice"));
    if (S_ISFIFO(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/fifo"));
    if (S_ISSOCK(st.st_mode))
        return db.mimeTypeForName(QStringLiteral("inode/socket"));

    const qsizetype slash = path.lastIndexOf('/');
    const QString name = QFile::decodeName(slash >= 0 ? path.mid(slash + 1) : path);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QFile device;
    QMimeType type;
    if (device.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        type = db.mimeTypeForFileNameAndData(name, &device);
    else
        type = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    device.close();
    ::close(fd);
    return type;
}

} // namespace

QIcon iconForFile(const QUrl& file) {
    const QByteArray path = localPath(file);
    struct stat st {};
    if (!path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        const QIcon folder =
            firstThemeIcon({QStringLiteral("folder"), QStringLiteral("inode-directory")});
        return folder.isNull() ? styleIcon(QStyle::SP_DirIcon) : folder;
    }

    QMimeType type;
    if (!path.isEmpty() && ::stat(path.constData(), &st) == 0)
        type = mimeTypeOf(path, st);
    else
        type =
            QMimeDatabase().mimeTypeForFile(displayFileName(file), QMimeDatabase::MatchExtension);

    const bool text = type.inherits(QStringLiteral("text/plain"));
    const QIcon icon = firstThemeIcon(
        {type.iconName(), type.genericIconName(),
         text ? QStringLiteral("text-x-generic") : QStringLiteral("application-octet-stream")});
    return icon.isNull() ? styleIcon(QStyle::SP_FileIcon) : icon;
}

} // namespace marvoline
