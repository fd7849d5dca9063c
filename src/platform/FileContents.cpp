#include "platform/FileContents.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marvoline {

std::unique_ptr<QFile> openRegularFile(const QByteArray& path) {
    if (path.isEmpty())
        return {};
    // Non-blocking, so that opening a pipe that has no writer returns at once;
    // it is refused right after.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return {};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {};
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return file;
}

QByteArray readFileStart(const QByteArray& path, qint64 maxBytes) {
    const std::unique_ptr<QFile> file = openRegularFile(path);
    return file ? file->read(maxBytes) : QByteArray();
}

} // namespace marvoline
