#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <functional>
#include <optional>

namespace marvoline {

// Looks up the home folder of a named user; absent when there is no such user.
using UserHomeLookup = std::function<std::optional<QByteArray>(const QByteArray& userName)>;

// The path an argument names after tilde expansion, or nothing when the
// argument is not a path the program takes from its command line.
//
// An argument that begins with "/" stands for itself. "~" and "~/rest" stand
// for the user's home folder (and "rest" below it). "~name" and "~name/rest"
// stand for the home folder of the user called "name", as a shell would
// expand them; without userHome, or for an unknown user, they are not taken.
// Everything else (relative paths, options beginning with "-", the empty
// string) is not taken. Bytes are kept exactly as given: file names on Linux
// need not be UTF-8.
std::optional<QByteArray> expandedCommandLinePath(const QByteArray& argument,
                                                  const QByteArray& home,
                                                  const UserHomeLookup& userHome = {});

// The files to show from the command line: every argument that names a path
// (see expandedCommandLinePath) at which something exists, as a file URL of the
// expanded path, in the order given. Other arguments are dropped silently.
// arguments are the process arguments without the program's own path.
QList<QUrl> keptCommandLineFiles(const QList<QByteArray>& arguments, const QByteArray& home,
                                 const std::function<bool(const QByteArray&)>& exists,
                                 const UserHomeLookup& userHome = {});

// The same against the real file system, the user's home folder and the
// password database.
QList<QUrl> keptCommandLineFiles(const QList<QByteArray>& arguments);

// The home folder of a user from the password database.
std::optional<QByteArray> passwordDatabaseHome(const QByteArray& userName);

} // namespace marvoline
