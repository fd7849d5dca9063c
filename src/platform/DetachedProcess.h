#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace marvoline {

// Starts the program with the arguments as the bytes they are (file names on
// Linux need not be UTF-8), its standard input from /dev/null, and leaves it
// running on its own. False, with the reason in error when given, when it
// could not be started.
bool startDetachedProcess(const QString& program, const QList<QByteArray>& arguments,
                          QString* error = nullptr);

} // namespace marvoline
