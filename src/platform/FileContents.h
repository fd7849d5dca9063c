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

// A whole file read without blocking on what is not a regular file, and only
// when it is no larger than a limit.
struct WholeFile {
    enum class State {
        Read,       // bytes holds the file
        Missing,    // nothing at the path
        NotRegular, // a pipe, socket or device: never read
        TooLarge,   // a regular file past the limit: not read
        Unreadable, // a folder, no permission, a read error
    };
    State state = State::Missing;
    QByteArray bytes;
};
WholeFile readWholeRegularFile(const QByteArray& path, qint64 maxBytes);

} // namespace marvoline
