// The installed program: `cmake --install` into a temporary prefix, then GIO's
// defaults compared with and without it over a copy of the system's desktop
// entries, and the installed executable run on a file in a sandbox whose
// XDG_DATA_DIRS includes the prefix's share folder, on a real X server.
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QToolButton>

using namespace marvoline;
using namespace Qt::StringLiterals;
using marvoline::test::ownId;

namespace {

// The types an earlier desktop entry named, each of which installing then took
// over on desktops without a mimeapps.list of their own, and the types a user
// meets first.
const QStringList typesAtRisk = {
    u"inode/directory"_s,
    u"application/pdf"_s,
    u"application/postscript"_s,
    u"application/rtf"_s,
    u"application/msword"_s,
    u"application/vnd.openxmlformats-officedocument.wordprocessingml.document"_s,
    u"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"_s,
    u"application/vnd.openxmlformats-officedocument.presentationml.presentation"_s,
    u"application/vnd.oasis.opendocument.text"_s,
    u"application/vnd.oasis.opendocument.spreadsheet"_s,
    u"application/vnd.oasis.opendocument.presentation"_s,
    u"application/epub+zip"_s,
    u"text/plain"_s,
    u"text/markdown"_s,
    u"text/html"_s,
    u"text/csv"_s,
    u"text/xml"_s,
    u"application/xml"_s,
    u"application/json"_s,
    u"text/x-csrc"_s,
    u"text/x-c++src"_s,
    u"text/x-python"_s,
    u"application/x-shellscript"_s,
    u"image/png"_s,
    u"image/jpeg"_s,
    u"image/gif"_s,
    u"image/tiff"_s,
    u"image/webp"_s,
    u"image/bmp"_s,
    u"image/svg+xml"_s,
    u"image/heic"_s,
    u"application/zip"_s,
    u"application/x-tar"_s,
    u"application/gzip"_s,
    u"application/x-compressed-tar"_s,
    u"application/x-7z-compressed"_s,
    u"application/x-rar"_s,
    u"audio/mpeg"_s,
    u"audio/ogg"_s,
    u"audio/flac"_s,
    u"audio/x-wav"_s,
    u"audio/mp4"_s,
    u"video/mp4"_s,
    u"video/x-matroska"_s,
    u"video/webm"_s,
    u"video/quicktime"_s,
    u"video/x-msvideo"_s};

// The MimeType list of a desktop entry.
QStringList declaredTypes(const QString& entryPath) {
    for (const QByteArray& line : test::XdgSandbox::readBytes(entryPath).split('\n')) {
        if (line.startsWith("MimeType="))
            return QString::fromUtf8(line.mid(9)).split(u';', Qt::SkipEmptyParts);
    }
    return {};
}

// Copies the desktop entries below a folder, but no mimeapps.list: the copy
// stands for a desktop that ships none.
void copyEntries(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(u"mimeapps.list"_s))
            continue;
        test::XdgSandbox::writeBytes(to + path.mid(from.size()), test::XdgSandbox::readBytes(path));
    }
}

// Whether the running process has mapped a file whose path holds the text.
bool mapsFile(const QProcess& process, const QString& text) {
    return test::XdgSandbox::readBytes(u"/proc/%1/maps"_s.arg(process.processId()))
        .contains(QFile::encodeName(text));
}

// Runs a program to its end; true when it exits with 0.
bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The folders of an icon folder, itself included, that are newer than its
// cache: Qt does not use a cache older than any of them.
QStringList foldersNewerThanCache(const QString& iconFolder) {
    const QDateTime cache = QFileInfo(iconFolder + u"/icon-theme.cache"_s).lastModified();
    QStringList newer;
    QDirIterator below(iconFolder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    for (QString folder = iconFolder; !folder.isEmpty();
         folder = below.hasNext() ? below.next() : QString()) {
        if (QFileInfo(folder).lastModified() > cache)
            newer.append(folder);
    }
    return newer;
}

// What the package manager's trigger (and `cmake --install`) runs: GIO reads a
// folder's associations from the cache it writes.
bool indexEntries(const QString& folder) {
    return run(u"update-desktop-database"_s, {u"-q"_s, folder});
}

} // namespace

class TestInstall final : public QObject {
    Q_OBJECT

public:
    explicit TestInstall(test::XdgSandbox& sandbox)
        : sb(sandbox) {
        // Before the first GIO call of this process: the registry then sees the
        // installed entry as the desktop would. GIO passes over entries whose
        // program is not on the PATH.
        qputenv("XDG_DATA_DIRS",
                QFile::encodeName(sb.dataDir() + u':' + share() + u':' + systemShare()));
        qputenv("PATH", QFile::encodeName(prefix + u"/bin:"_s) + qgetenv("PATH"));
        sb.addApp(test::viewerId, u"Viewer"_s, {u"text/plain"_s});
        sb.writeMimeinfoCache({{u"text/plain"_s, {test::viewerId}}});
    }

private:
    test::XdgSandbox& sb;
    const QString prefix = sb.root() + u"/prefix"_s;
    test::WindowManager wm;
    bool indexed = false;

    QString share() const { return prefix + u"/share"_s; }
    // A copy of the system's desktop entries, with a PDF reader of the test's.
    QString systemShare() const { return sb.root() + u"/system-share"_s; }

private Q_SLOTS:
    void initTestCase() {
        QProcess install;
        install.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {u"--install"_s, QStringLiteral(PROJECT_BINARY_DIR), u"--prefix"_s, prefix});
        QVERIFY(install.waitForFinished(60000));
        QCOMPARE(install.exitCode(), 0);
        // Outside /usr the autostart entry stays below the prefix (the package's layout,
        // below /usr and /etc, is checked by check_package.sh).
        QVERIFY(QFileInfo::exists(
            prefix + u"/etc/xdg/autostart/org.marvoline.Marvoline.Reminders.desktop"_s));
        QVERIFY2(wm.start(), "needs an X server with openbox (run under xvfb-run)");

        const QString apps = systemShare() + u"/applications"_s;
        copyEntries(u"/usr/share/applications"_s, apps);
        test::XdgSandbox::writeBytes(apps + u'/' + test::readerId,
                                     "[Desktop Entry]\nType=Application\nName=Reader\nExec=" +
                                         QFile::encodeName(sb.recorderPath()) +
                                         " reader %F\nMimeType=application/pdf;text/plain;\n");
        QVERIFY(QFile::link(u"/usr/share/mime"_s, systemShare() + u"/mime"_s));
        indexed = indexEntries(apps) && indexEntries(share() + u"/applications"_s);
    }

    // GIO's default for every type at risk is the same with the installed
    // program as without it, whether or not the desktop ships a mimeapps.list.
    void installingChangesNoDefault_data() {
        QTest::addColumn<QByteArray>("desktopList");
        QTest::newRow("no desktop mimeapps.list") << QByteArray();
        QTest::newRow("the desktop's own mimeapps.list")
            << "[Default Applications]\ntext/plain=" + test::readerId.toUtf8() + ";\n";
    }
    void installingChangesNoDefault() {
        if (!indexed)
            QSKIP("needs update-desktop-database (desktop-file-utils), as a desktop has");
        QFETCH(QByteArray, desktopList);
        const QString list = systemShare() + u"/applications/mimeapps.list"_s;
        QFile::remove(list);
        if (!desktopList.isEmpty())
            test::XdgSandbox::writeBytes(list, desktopList);

        // Also any type the installed entry names now.
        QStringList types = typesAtRisk + declaredTypes(share() + u"/applications/"_s + ownId);
        types.removeDuplicates();
        // Where installing puts the program comes first, as /usr/local before /usr.
        const QString without = systemShare();
        const QString with = share() + u':' + systemShare();
        QStringList changed;
        int hadDefault = 0;
        for (const QString& type : std::as_const(types)) {
            const QString before = sb.gioDefault(type, without);
            const QString after = sb.gioDefault(type, with);
            hadDefault += before.isEmpty() ? 0 : 1;
            if (before != after) {
                changed.append(u"%1: %2 -> %3"_s.arg(type, before.isEmpty() ? u"none"_s : before,
                                                     after.isEmpty() ? u"none"_s : after));
            }
        }
        qInfo("%lld types compared, %d with a default before installing, %lld changed",
              qlonglong(types.size()), hadDefault, qlonglong(changed.size()));
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join(u"; "_s)));
        // The comparison saw the system's entries (with the test's reader, PDF files have a
        // default) and the desktop's list.
        QVERIFY(!sb.gioDefault(u"application/pdf"_s, without).isEmpty());
        if (!desktopList.isEmpty())
            QCOMPARE(sb.gioDefault(u"text/plain"_s, without), test::readerId);
        QFile::remove(list);
    }

    // Not the default of anything, the installed program is still among every
    // application a file manager lists, and `gio mime` makes it a default.
    void chosenByHandOnly() {
        // Asked of GIO in another process, as a file manager's full list asks it (the
        // chooser's own picker leaves itself out).
        QProcess all;
        all.start(u"/usr/bin/python3"_s,
                  {u"-c"_s, u"from gi.repository import Gio\n"
                            "for a in Gio.AppInfo.get_all():\n"
                            "    if a.should_show(): print(a.get_id(), a.get_filename())"_s});
        QVERIFY(all.waitForFinished(30000));
        QCOMPARE(all.exitCode(), 0);
        bool listed = false;
        for (const QByteArray& line : all.readAllStandardOutput().split('\n'))
            listed = listed || (line.startsWith(QByteArray(ownId.toUtf8() + ' ')) &&
                                line.mid(ownId.size() + 1).startsWith(QFile::encodeName(share())));
        QVERIFY2(listed, "not among the applications a file manager lists");

        QProcess gio;
        gio.start(u"gio"_s, {u"mime"_s, u"application/pdf"_s, ownId});
        QVERIFY(gio.waitForFinished(30000));
        QCOMPARE(gio.exitCode(), 0);
        QCOMPARE(sb.gioDefault(u"application/pdf"_s), ownId);
    }

    // The installed chooser made the default by its check box: GIO names it
    // afterwards, and the default it replaced is remembered.
    void setAsDefaultFromTheInstalledProgram() {
        sb.writeDefaults({{u"text/plain"_s, test::viewerId}});
        const QUrl file = sb.writeFile(u"install/notes.txt"_s, "notes\n");
        const QString program = prefix + u"/bin/marvoline"_s;
        test::ChooserProcess chooser(program, {file});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        // Qt's PDF library is loaded for PDF files only.
        QVERIFY(!mapsFile(chooser.process, u"libQt6Pdf"_s));
        // Both controls found on one layout of the twin, while the countdown runs.
        QPoint close;
        const std::optional<QPoint> checkBox = chooser.locate([&close](MainViewController& vc) {
            close =
                vc.closeButton->mapTo(vc.closeButton->window(), vc.closeButton->rect().center());
            return vc.setDefaultButton;
        });
        QVERIFY(checkBox);
        chooser.click(*checkBox);
        chooser.click(close);
        QVERIFY2(chooser.endsWell(10000), "the close button did not end the chooser");

        QCOMPARE(sb.gioDefault(u"text/plain"_s), ownId);
        // GIO found the installed entry: the program wrote none of its own.
        QVERIFY(!QFileInfo::exists(sb.dataHome() + u"/applications/"_s + ownId));
        const QString key = MainViewController::previousDefaultKeyPrefix + u"text/plain"_s;
        QCOMPARE(PreferencesStore::standard().value(key).toString(),
                 sb.appUrl(test::viewerId).path());
    }

    // The installed icons come with a cache newer than each of their folders,
    // which Qt needs to use it: without one, every icon look-up of every Qt
    // program tries each of the theme's folders below the prefix.
    void iconCacheFitForQt() {
        if (QStandardPaths::findExecutable(u"gtk-update-icon-cache"_s).isEmpty())
            QSKIP("needs gtk-update-icon-cache, as the install does");
        const QString hicolor = share() + u"/icons/hicolor"_s;
        QVERIFY(QFileInfo::exists(hicolor + u"/icon-theme.cache"_s));
        QVERIFY(QFileInfo::exists(hicolor + u"/48x48/apps/org.marvoline.Marvoline.png"_s));
        QCOMPARE(foldersNewerThanCache(hicolor), QStringList());
    }

    // Once the chooser's icons are gone again (./run.sh --uninstall), their
    // folder has a current cache or, with nothing else left in it, is gone:
    // a stale cache is as bad as none.
    void iconFolderAfterRemoval_data() {
        QTest::addColumn<bool>("otherIcon");
        QTest::newRow("only the chooser's icons") << false;
        QTest::newRow("another program's icon beside them") << true;
    }

    void iconFolderAfterRemoval() {
        QFETCH(bool, otherIcon);
        if (QStandardPaths::findExecutable(u"gtk-update-icon-cache"_s).isEmpty())
            QSKIP("needs gtk-update-icon-cache, as the install does");
        const QString hicolor = sb.root() + u"/removal/icons/hicolor"_s;
        QVERIFY(QDir(hicolor).removeRecursively());
        QVERIFY(QDir().mkpath(hicolor + u"/48x48/apps"_s));
        if (otherIcon) {
            QImage image(48, 48, QImage::Format_ARGB32);
            image.fill(Qt::green);
            QVERIFY(image.save(hicolor + u"/48x48/apps/other.png"_s));
        }
        QDirIterator icons(share() + u"/icons/hicolor"_s, {u"org.marvoline.Marvoline.*"_s},
                           QDir::Files, QDirIterator::Subdirectories);
        int copied = 0;
        while (icons.hasNext()) {
            const QString from = icons.next();
            const QString to = hicolor + from.mid(share().size() + u"/icons/hicolor"_s.size());
            QVERIFY(QDir().mkpath(QFileInfo(to).path()) && QFile::copy(from, to));
            ++copied;
        }
        QCOMPARE_GT(copied, 8);
        QVERIFY(run(u"gtk-update-icon-cache"_s, {u"-q"_s, u"-t"_s, u"-f"_s, hicolor}));
        const QString cacheFile = hicolor + u"/icon-theme.cache"_s;
        QVERIFY(test::XdgSandbox::readBytes(cacheFile).contains("org.marvoline.Marvoline"));

        // A second later, so that a folder changed now is newer than the cache.
        QTest::qWait(1100);
        QDirIterator ours(hicolor, {u"org.marvoline.Marvoline.*"_s}, QDir::Files,
                          QDirIterator::Subdirectories);
        while (ours.hasNext())
            QVERIFY(QFile::remove(ours.next()));
        QVERIFY(
            run(QStringLiteral(MARVOLINE_SOURCE_DIR "/scripts/refresh-icon-cache.sh"), {hicolor}));

        if (!otherIcon) {
            QVERIFY(!QFileInfo::exists(hicolor));
            return;
        }
        const QByteArray listed = test::XdgSandbox::readBytes(cacheFile);
        QVERIFY(listed.contains("other") && !listed.contains("org.marvoline.Marvoline"));
        QCOMPARE(foldersNewerThanCache(hicolor), QStringList());
    }

    // The installed chooser draws a PDF with the module installed for it.
    void pdfModuleInstalled() {
        const QUrl file = sb.writeFile(u"install/paper.pdf"_s, test::blankPdf(1));
        test::ChooserProcess chooser(prefix + u"/bin/marvoline"_s, {file});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const QString module =
            prefix + u"/"_s + QStringLiteral(PDF_MODULE_DIR) + u"/marvoline-pdf"_s;
        // The module is mapped before the libraries it links: both are waited for.
        QTRY_VERIFY_WITH_TIMEOUT(
            mapsFile(chooser.process, module) && mapsFile(chooser.process, u"libQt6Pdf"_s), 10000);
        chooser.process.kill();
        chooser.process.waitForFinished();
    }
};

MARVOLINE_TEST_MAIN(TestInstall)
#include "tst_install.moc"
