#include "support/XdgSandbox.h"

#include "platform/FilePaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtGlobal>

namespace marvoline::test {

namespace {

// Writes its arguments, NUL-terminated, into one new file per launch.
constexpr char recorderScript[] = R"(#!/bin/sh
dir="$(dirname "$0")/../records"
id="$1"
shift
out="$dir/$id.$(date +%s%N).$$"
for a in "$@"; do printf '%s\000' "$a"; done > "$out.part"
mv "$out.part" "$out"
)";

} // namespace

XdgSandbox::XdgSandbox()
    : m_dir(QDir::tempPath() + QStringLiteral("/marvoline-test-XXXXXX")) {
    if (!m_dir.isValid())
        qFatal("sandbox: cannot create a temporary folder");
    QDir r(root());
    for (const char* sub : {"home", "data-home/applications", "data/applications", "data/metainfo",
                            "config", "config-dirs", "state", "cache", "bin", "records", "files"})
        r.mkpath(QString::fromLatin1(sub));
    QFile::link(QStringLiteral("/usr/share/mime"), dataDir() + QStringLiteral("/mime"));

    writeBytes(recorderPath(), recorderScript);
    QFile::setPermissions(recorderPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup);

    qputenv("HOME", QFile::encodeName(home()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(dataDir()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root() + QStringLiteral("/config-dirs")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(stateHome()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root() + QStringLiteral("/cache")));
    // No desktop-specific mimeapps.list may override the sandbox's.
    qputenv("XDG_CURRENT_DESKTOP", "marvoline-test");
    // GIO must not ask a session's D-Bus services about applications or files.
    qputenv("GIO_USE_VFS", "local");
}

XdgSandbox::~XdgSandbox() = default;

QUrl XdgSandbox::addApp(const QString& id, const QString& name, const QStringList& mimeTypes,
                        const QStringList& extraLines) {
    QByteArray text = "[Desktop Entry]\nType=Application\nName=" + name.toUtf8() +
                      "\nExec=" + QFile::encodeName(recorderPath()) + ' ' + id.toUtf8() + " %F\n";
    if (!mimeTypes.isEmpty())
        text += "MimeType=" + mimeTypes.join(QLatin1Char(';')).toUtf8() + ";\n";
    for (const QString& line : extraLines)
        text += line.toUtf8() + '\n';
    return addRawDesktopFile(id, text);
}

QUrl XdgSandbox::addRawDesktopFile(const QString& id, const QByteArray& contents) {
    writeBytes(applicationsDir() + QLatin1Char('/') + id, contents);
    return appUrl(id);
}

QUrl XdgSandbox::appUrl(const QString& id) const {
    return QUrl::fromLocalFile(applicationsDir() + QLatin1Char('/') + id);
}

void XdgSandbox::writeMimeinfoCache(const QMap<QString, QStringList>& associations) {
    QByteArray text = "[MIME Cache]\n";
    for (auto it = associations.cbegin(); it != associations.cend(); ++it)
        text += it.key().toUtf8() + '=' + it.value().join(QLatin1Char(';')).toUtf8() + ";\n";
    writeBytes(applicationsDir() + QStringLiteral("/mimeinfo.cache"), text);
}

void XdgSandbox::writeDefaults(const QMap<QString, QString>& defaults) {
    QByteArray text = "[Default Applications]\n";
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        text += it.key().toUtf8() + '=' + it.value().toUtf8() + ";\n";
    writeBytes(configHome() + QStringLiteral("/mimeapps.list"), text);
}

void XdgSandbox::addMetainfo(const QString& desktopId, const QStringList& releaseVersions) {
    const QString base = desktopId.chopped(int(qstrlen(".desktop")));
    QByteArray releases;
    for (const QString& v : releaseVersions)
        releases += "<release version='" + v.toUtf8() + "' date='2024-01-01'/>";
    writeBytes(dataDir() + QStringLiteral("/metainfo/") + base + QStringLiteral(".metainfo.xml"),
               "<component type='desktop-application'><id>" + base.toUtf8() +
                   "</id><launchable type='desktop-id'>" + desktopId.toUtf8() +
                   "</launchable><releases>" + releases + "</releases></component>\n");
}

QUrl XdgSandbox::writeFile(const QString& relativePath, const QByteArray& contents) {
    const QString path = root() + QStringLiteral("/files/") + relativePath;
    writeBytes(path, contents);
    return fileUrlFromPath(QFile::encodeName(path));
}

QUrl XdgSandbox::fileUrl(const QString& relativePath) const {
    return fileUrlFromPath(QFile::encodeName(root() + QStringLiteral("/files/") + relativePath));
}

void XdgSandbox::hideApp(const QString& id) {
    writeBytes(dataHome() + QStringLiteral("/applications/") + id,
               "[Desktop Entry]\nType=Application\nName=Deleted\nHidden=true\n");
}

QString XdgSandbox::gioDefault(const QString& type, const QString& dataDirs) const {
    QProcess gio;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (!dataDirs.isEmpty())
        env.insert(QStringLiteral("XDG_DATA_DIRS"), dataDirs);
    gio.setProcessEnvironment(env);
    gio.start(QStringLiteral("gio"), {QStringLiteral("mime"), type});
    if (!gio.waitForFinished(30000))
        return QStringLiteral("<gio mime did not finish>");
    // "Default application for “image/png”: pictures.desktop"
    const QString first = QString::fromUtf8(gio.readAllStandardOutput()).section(u'\n', 0, 0);
    return first.startsWith(QStringLiteral("Default application for"))
               ? first.section(QStringLiteral(": "), -1)
               : QString();
}

void XdgSandbox::writeBytes(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(contents) != contents.size())
        qFatal("sandbox: cannot write %s", qPrintable(path));
}

QByteArray XdgSandbox::readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QList<QByteArray>> XdgSandbox::recordedLaunches(const QString& id) const {
    QDir dir(recordsDir());
    QList<QList<QByteArray>> launches;
    for (const QString& n : dir.entryList({id + QStringLiteral(".*")}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(n));
        if (n.endsWith(QStringLiteral(".part")) || !f.open(QIODevice::ReadOnly))
            continue; // still being written
        QList<QByteArray> args = f.readAll().split('\0');
        if (!args.isEmpty() && args.last().isEmpty())
            args.removeLast();
        launches.append(args);
    }
    return launches;
}

void XdgSandbox::clearRecords() {
    QDir dir(recordsDir());
    for (const QString& n : dir.entryList(QDir::Files))
        dir.remove(n);
}

} // namespace marvoline::test
