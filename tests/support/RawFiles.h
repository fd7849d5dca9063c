#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <cstdio>
#include <unistd.h>

namespace marvoline::test {

// Files named by bytes, which need not be UTF-8, with their folders. They are removed again on
// destruction, since QTemporaryDir cannot remove names it cannot decode.
class RawFiles {
public:
    RawFiles() = default;
    RawFiles(const RawFiles&) = delete;
    RawFiles& operator=(const RawFiles&) = delete;
    ~RawFiles() {
        for (const QByteArray& path : std::as_const(m_paths))
            ::unlink(path.constData());
    }

    // Writes the bytes to the path; false when it cannot.
    bool write(const QByteArray& path, const QByteArray& bytes = {}) {
        QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/'))));
        FILE* file = std::fopen(path.constData(), "wb");
        if (!file)
            return false;
        m_paths.append(path);
        const size_t size = size_t(bytes.size());
        const bool written = std::fwrite(bytes.constData(), 1, size, file) == size;
        return std::fclose(file) == 0 && written;
    }
    bool write(const QString& path, const QByteArray& bytes = {}) {
        return write(QFile::encodeName(path), bytes);
    }

private:
    QList<QByteArray> m_paths;
};

} // namespace marvoline::test
