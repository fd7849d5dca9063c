#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class QObject;

namespace marvoline {

// Starts the program with the arguments as the bytes they are (file names on
// Linux need not be UTF-8), its standard input from /dev/null, and leaves it
// running on its own. False, with the reason in error when given, when it
// could not be started.
bool startDetachedProcess(const QString& program, const QList<QByteArray>& arguments,
                          QString* error = nullptr);

// Starts the program as startDetachedProcess() does, and tells done how it
// ended, on the main thread, unless context has gone by then: an empty text
// when it exited with status 0, else what went wrong (not started, its exit
// status or signal). Should this process end first, the program runs on.
using ProcessEnded = std::function<void(const QString& error)>;
void startWatchedProcess(const QString& program, const QList<QByteArray>& arguments,
                         QObject* context, ProcessEnded done);

} // namespace marvoline
