#include "platform/FileContents.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marvoline {

namespace {

// Non-blocking, so that opening a pipe that has no writer returns at once.
int openNonBlocking(const QByteArray& path) {
    return ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

} // namespace

std::unique_ptr<QFile> openRegularFile(const QByteArray& path) {
    if (path.isEmpty())
        return {};
    const int fd = openNonBlocking(path);
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

WholeFile readWholeRegularFile(const QByteArray& path, qint64 maxBytes) {
    using State = WholeFile::State;
    if (path.isEmpty())
        return {};
    const int fd = openNonBlocking(path);
    if (fd < 0)
        return {errno == ENOENT || errno == ENOTDIR ? State::Missing : State::Unreadable, {}};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return {State::Unreadable, {}};
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return {State::Unreadable, {}};
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return {State::NotRegular, {}};
    }
    if (st.st_size > maxBytes) {
        ::close(fd);
        return {State::TooLarge, {}};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {State::Unreadable, {}};
    }
    // The file may grow after the size was taken: one byte more than the
    // limit tells.
    const qint64 expected = st.st_size > 0 ? st.st_size : 0;
    QByteArray bytes = file.read(expected + 1);
    constexpr qint64 chunk = 64 * 1024;
    while (bytes.size() > expected && bytes.size() <= maxBytes &&
           file.error() == QFileDevice::NoError) {
        const QByteArray more = file.read(qMin(chunk, maxBytes + 1 - bytes.size()));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError)
        return {State::Unreadable, {}};
    if (bytes.size() > maxBytes)
        return {State::TooLarge, {}};
    return {State::Read, std::move(bytes)};
}

} // namespace marvoline
