#include "main/CommandLineIntake.h"

#include "platform/FilePaths.h"

#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#include <memory>
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

// The path of a "file:" URI that names a file on this host.
std::optional<QByteArray> fileUriPath(const QByteArray& argument) {
    const QUrl url = QUrl::fromEncoded(argument);
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // The percent-encoded path decoded to bytes, so that names that are not
    // UTF-8 ("%E9") survive.
    const QByteArray path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!path.startsWith('/'))
        return std::nullopt;
    return path;
}

// directory/relative, without a leading "./" and without doubling the slash.
std::optional<QByteArray> resolvedRelativePath(QByteArray relative, QByteArray directory) {
    if (!directory.startsWith('/'))
        return std::nullopt;
    while (relative.startsWith("./"))
        relative.remove(0, 2);
    if (relative == ".")
        relative.clear();
    while (directory.size() > 1 && directory.endsWith('/'))
        directory.chop(1);
    if (relative.isEmpty())
        return directory;
    if (directory == "/")
        return QByteArray('/' + relative);
    return QByteArray(directory + '/' + relative);
}

bool isFileUri(const QByteArray& argument) {
    return argument.size() > 5 && argument.first(5).toLower() == "file:";
}

} // namespace

std::optional<QByteArray> expandedCommandLinePath(const QByteArray& argument,
                                                  const QByteArray& home,
                                                  const UserHomeLookup& userHome,
                                                  const QByteArray& workingDirectory) {
    if (argument.isEmpty() || argument.startsWith('-'))
        return std::nullopt;
    if (argument.startsWith('/'))
        return argument;
    if (isFileUri(argument))
        return fileUriPath(argument);
    if (!argument.startsWith('~'))
        return resolvedRelativePath(argument, workingDirectory);

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
                                 const UserHomeLookup& userHome,
                                 const QByteArray& workingDirectory) {
    QList<QUrl> kept;
    for (const QByteArray& argument : arguments) {
        const std::optional<QByteArray> path =
            expandedCommandLinePath(argument, home, userHome, workingDirectory);
        if (path && exists(*path))
            kept.append(fileUrlFromPath(*path));
    }
    return kept;
}

QList<QUrl> keptCommandLineFiles(const QList<QByteArray>& arguments) {
    return keptCommandLineFiles(arguments, homePath(), pathExists, passwordDatabaseHome,
                                workingDirectoryPath());
}

QByteArray workingDirectoryPath() {
    // glibc's get_current_dir_name prefers $PWD when it names the same folder.
    const std::unique_ptr<char, decltype(&std::free)> cwd(::get_current_dir_name(), &std::free);
    return cwd ? QByteArray(cwd.get()) : QByteArray();
}

CommandLineRequest commandLineRequest(const QList<QByteArray>& arguments) {
    for (const QByteArray& argument : arguments) {
        if (argument == "--help")
            return CommandLineRequest::Help;
        if (argument == "--version")
            return CommandLineRequest::Version;
        if (argument == "--rules")
            return CommandLineRequest::Rules;
        if (argument == "--portal")
            return CommandLineRequest::Portal;
    }
    return CommandLineRequest::ShowFiles;
}

bool choosesWhateverTheRules(const QList<QByteArray>& arguments) {
    return arguments.contains(QByteArrayLiteral("--choose"));
}

QString usageText() {
    const QString program = QStringLiteral("marvoline");
    //% "Usage: %1 [--choose] [FILE…]"
    QString text = qtTrId("ui.usage").arg(program) + QLatin1Char('\n');
    //% "Shows the applications that can open the files and opens them with the one you choose."
    text += qtTrId("ui.usageSummary") + QStringLiteral("\n\n");
    //% "Show this help and exit"
    text += QStringLiteral("  --help     ") + qtTrId("ui.helpOption") + QLatin1Char('\n');
    //% "Show the version and exit"
    text += QStringLiteral("  --version  ") + qtTrId("ui.versionOption") + QLatin1Char('\n');
    //% "Print the rules, one a line, in the order they are tried, and exit"
    text += QStringLiteral("  --rules    ") + qtTrId("ui.rulesOption") + QLatin1Char('\n');
    //% "Show the chooser for the files whatever the rules say"
    text += QStringLiteral("  --choose   ") + qtTrId("ui.chooseOption") + QLatin1Char('\n');
    //% "Choose applications for the desktop portal (sandboxed applications)"
    text += QStringLiteral("  --portal   ") + qtTrId("ui.portalOption") + QLatin1Char('\n');
    return text;
}

QString versionText() {
    return QStringLiteral("marvoline " MARVOLINE_VERSION "\n");
}

QString ignoredArgumentsMessage(const QList<QByteArray>& arguments, const QList<QUrl>& kept) {
    if (arguments.isEmpty() || !kept.isEmpty())
        return {};
    QStringList quoted;
    quoted.reserve(arguments.size());
    for (const QByteArray& argument : arguments)
        quoted.append(QLatin1Char('"') + QString::fromLocal8Bit(argument) + QLatin1Char('"'));
    //% "No file to show; ignored: %1"
    return QStringLiteral("marvoline: ") +
           qtTrId("ui.argumentsIgnored").arg(quoted.join(QStringLiteral(", ")));
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
