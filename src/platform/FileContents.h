#pragma once

#include <QByteArray>

#include <memory>

class QFile;

namespace marvoline {

// Opens the regular file at the raw path for reading (names that are not UTF-8
// work); null for anything else (missing, unreadable, folder, device, pipe),
// so that a preview never blocks on a special file.
std::unique_ptr<QFile> openRegularFile(const QByteArray& path);

// At most maxBytes from the start of the regular file at the path; empty when
// it cannot be read.
QByteArray readFileStart(const QByteArray& path, qint64 maxBytes);

} // namespace marvoline
