#include "main/CommandLineIntake.h"

#include "platform/FilePaths.h"

#include <cerrno>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace marvoline {

namespace {

// home followed by rest ("" or "/..."), without doubling the slash when home
// is the root folder or ends in a slash.
QByteArray joinedHome(QByteArray home, const QByteArray& rest) {
    while (home.size() > 1 && home.endsWith('/'))
        home.chop(1);
    if (home == "/" && rest.startsWith('/'))
        return rest;
    return home + rest;
}

} // namespace

std::optional<QByteArray> expandedCommandLinePath(const QByteArray& argument,
                                                  const QByteArray& home,
                                                  const UserHomeLookup& userHome) {
    if (argument.startsWith('/'))
        return argument;
    if (!argument.startsWith('~'))
        return std::nullopt;

    const qsizetype slash = argument.indexOf('/');
    const QByteArray userName = argument.mid(1, slash < 0 ? -1 : slash - 1);
    const QByteArray rest = slash < 0 ? QByteArray() : argument.mid(slash);

    std::optional<QByteArray> base;
    if (userName.isEmpty()) {
        base = home;
    } else if (userHome) {
        base = userHome(userName);
    }
    // A home folder that is unknown or not absolute cannot anchor the path.
    if (!base || !base->startsWith('/'))
        return std::nullopt;
    return joinedHome(*base, rest);
}

QList<QUrl> keptCommandLineFiles(const QList<QByteArray>& arguments, const QByteArray& home,
                                 const std::function<bool(const QByteArray&)>& exists,
                                 const UserHomeLookup& userHome) {
    QList<QUrl> kept;
    for (const QByteArray& argument : arguments) {
        const std::optional<QByteArray> path = expandedCommandLinePath(argument, home, userHome);
        if (path && exists(*path))
            kept.append(fileUrlFromPath(*path));
    }
    return kept;
}

QList<QUrl> keptCommandLineFiles(const QList<QByteArray>& arguments) {
    return keptCommandLineFiles(arguments, homePath(), pathExists, passwordDatabaseHome);
}

std::optional<QByteArray> passwordDatabaseHome(const QByteArray& userName) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwnam_r(userName.constData(), &entry, buffer.data(), buffer.size(), &found) ==
               ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (!found || !found->pw_dir)
        return std::nullopt;
    return QByteArray(found->pw_dir);
}

} // namespace marvoline
