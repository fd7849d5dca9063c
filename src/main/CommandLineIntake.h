#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace marvoline {

// Looks up the home folder of a named user; absent when there is no such user.
using UserHomeLookup = std::function<std::optional<QByteArray>(const QByteArray& userName)>;

// The path an argument names, or nothing when the argument is not a path the
// program takes from its command line.
//
// An argument that begins with "/" stands for itself. "~" and "~/rest" stand
// for the user's home folder (and "rest" below it). "~name" and "~name/rest"
// stand for the home folder of the user called "name", as a shell would
// expand them; without userHome, or for an unknown user, they are not taken.
// A "file:" URI of this host stands for the path it names. Any other
// argument that does not begin with "-" is a path relative to
// workingDirectory (not taken when that is not absolute). Options beginning
// with "-" and the empty string are not taken. Bytes are kept exactly as
// given: file names on Linux need not be UTF-8.
std::optional<QByteArray> expandedCommandLinePath(const QByteArray& argument,
                                                  const QByteArray& home,
                                                  const UserHomeLookup& userHome = {},
                                                  const QByteArray& workingDirectory = {});

// The files to show from the command line: every argument that names a path
// (see expandedCommandLinePath) at which something exists, as a file URL of the
// path, in the order given. Other arguments are dropped.
// arguments are the process arguments without the program's own path.
QList<QUrl> keptCommandLineFiles(const QList<QByteArray>& arguments, const QByteArray& home,
                                 const std::function<bool(const QByteArray&)>& exists,
                                 const UserHomeLookup& userHome = {},
                                 const QByteArray& workingDirectory = {});

// The same against the real file system, the user's home folder, the
// password database and the process's working directory.
QList<QUrl> keptCommandLineFiles(const QList<QByteArray>& arguments);

// The working directory as the user's shell names it ($PWD when that is the
// same folder, which keeps symbolic links in the path); empty when unknown.
QByteArray workingDirectoryPath();

// What an argument of the command line asks for instead of showing files:
// the first "--help", "--version", "--rules" or "--portal" wins. "--portal"
// serves the desktop portal's application chooser on the session bus.
enum class CommandLineRequest { ShowFiles, Help, Version, Rules, Portal };
CommandLineRequest commandLineRequest(const QList<QByteArray>& arguments);

// Whether "--choose" is among the arguments: the chooser shows the files
// whatever the rules say.
bool choosesWhateverTheRules(const QList<QByteArray>& arguments);

// The text "--help" and "--version" print on standard output.
QString usageText();
QString versionText();

// The one line for standard error when arguments were given and none of them
// named a file to show; empty when there is nothing to say.
QString ignoredArgumentsMessage(const QList<QByteArray>& arguments, const QList<QUrl>& kept);

// The home folder of a user from the password database.
std::optional<QByteArray> passwordDatabaseHome(const QByteArray& userName);

} // namespace marvoline
