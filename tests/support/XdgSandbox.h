#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

namespace marvoline::test {

// The test applications most tests offer.
inline const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
inline const QString editorId = QStringLiteral("org.example.Editor.desktop");
inline const QString readerId = QStringLiteral("org.example.Reader.desktop");
// An application that answers its D-Bus activation late (support/slow_app.cpp).
inline const QString slowId = QStringLiteral("org.example.Slow.desktop");
// The program's own desktop entry.
inline const QString ownId = QStringLiteral("org.marvoline.Marvoline.desktop");

// A private freedesktop environment for one test process: HOME and every XDG
// variable point below a temporary folder, the MIME database is linked from
// /usr/share/mime, and applications are desktop entries written by the test
// whose Exec is a recorder script. GIO reads the variables once, at its first
// call, so the sandbox must exist before that (MARVOLINE_TEST_MAIN does it).
//
// Layout below root():
//   home/                HOME
//   data-home/           XDG_DATA_HOME (applications/, mimeapps are not here)
//   data/                XDG_DATA_DIRS (mime -> /usr/share/mime, applications/, metainfo/)
//   config/              XDG_CONFIG_HOME (mimeapps.list, marvoline/preferences.json)
//   config-dirs/         XDG_CONFIG_DIRS
//   state/, cache/       XDG_STATE_HOME, XDG_CACHE_HOME
//   bin/record-args      the recorder
//   records/             one file per recorded launch
class XdgSandbox {
public:
    XdgSandbox();
    ~XdgSandbox();
    XdgSandbox(const XdgSandbox&) = delete;
    XdgSandbox& operator=(const XdgSandbox&) = delete;

    QString root() const { return m_dir.path(); }
    QString home() const { return root() + QStringLiteral("/home"); }
    QString dataHome() const { return root() + QStringLiteral("/data-home"); }
    QString dataDir() const { return root() + QStringLiteral("/data"); }
    QString configHome() const { return root() + QStringLiteral("/config"); }
    QString stateHome() const { return root() + QStringLiteral("/state"); }
    QString applicationsDir() const { return dataDir() + QStringLiteral("/applications"); }
    QString recordsDir() const { return root() + QStringLiteral("/records"); }
    QString recorderPath() const { return root() + QStringLiteral("/bin/record-args"); }
    QString preferencesPath() const {
        return configHome() + QStringLiteral("/marvoline/preferences.json");
    }

    // Writes data/applications/<id> (id ends with ".desktop") whose Exec runs the
    // recorder with the id and %F. extraLines are appended to the group as they
    // stand (e.g. "X-GNOME-FullName=...", "Name[ja]=..."). Returns its file URL.
    QUrl addApp(const QString& id, const QString& name, const QStringList& mimeTypes = {},
                const QStringList& extraLines = {});
    // Writes a desktop entry with the given text as it stands.
    QUrl addRawDesktopFile(const QString& id, const QByteArray& contents);
    QUrl appUrl(const QString& id) const;
    // data/applications/mimeinfo.cache: type -> ids, in the registry's order.
    void writeMimeinfoCache(const QMap<QString, QStringList>& associations);
    // config/mimeapps.list [Default Applications] type=id.
    void writeDefaults(const QMap<QString, QString>& defaults);
    // data/metainfo/<id without .desktop>.metainfo.xml with one release.
    void addMetainfo(const QString& desktopId, const QStringList& releaseVersions);

    // A file below root()/files with the given contents; returns its file URL.
    QUrl writeFile(const QString& relativePath, const QByteArray& contents);
    // The file URL of root()/files/<relativePath>, whether it exists or not.
    QUrl fileUrl(const QString& relativePath) const;
    // data-home/applications/<id>: the user's deletion of a system entry (Hidden=true).
    void hideApp(const QString& id);
    // The desktop file ID that GIO's command-line tool, a process of its own,
    // names as the type's default; empty when it names none. dataDirs, when
    // given, stands for XDG_DATA_DIRS in that process.
    QString gioDefault(const QString& type, const QString& dataDirs = {}) const;
    // The file's bytes; empty when it cannot be read.
    static QByteArray readBytes(const QString& path);
    // Writes the file whole, with its folders; ends the test when it cannot.
    static void writeBytes(const QString& path, const QByteArray& contents);

    // Launches recorded for the id, oldest first, each the list of its
    // arguments after the id.
    QList<QList<QByteArray>> recordedLaunches(const QString& id) const;
    void clearRecords();

private:
    QTemporaryDir m_dir;
};

} // namespace marvoline::test
