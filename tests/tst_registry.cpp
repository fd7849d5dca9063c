// The registry over real GIO in a private XDG sandbox: which applications open
// a file and in which order, the default, what an entry declares (identifier,
// names, version, icon), content types, and the program's own entry. Every
// scenario has its own content type and every file is written before the
// first GIO call, so GIO's directory monitors play no part except where the
// test is about them.

#include "platform/AppStreamMetainfo.h"
#include "platform/FileIcons.h"
#include "platform/FilePaths.h"
#include "platform/gio/GioAppRegistry.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>

#include <unistd.h>

#include <cstdio>

using marvoline::AppRegistry;
using marvoline::fileUrlFromPath;
using marvoline::GioAppRegistry;
using marvoline::localPath;

namespace {

const QString ownId = AppRegistry::ownIdentifier();

QString pathOf(const QUrl& url) {
    return QFile::decodeName(localPath(url));
}

QStringList pathsOf(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls)
        paths.append(pathOf(url));
    return paths;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeImage(const QString& path, Qt::GlobalColor color) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(color);
    QVERIFY(image.save(path, "PNG"));
}

QRgb centreOf(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().pixel(16, 16);
}

// What an independent reader, GIO's command-line tool, names as the default.
QString gioMimeDefault(const QString& type) {
    QProcess gio;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LANGUAGE"));
    gio.setProcessEnvironment(env);
    gio.start(QStringLiteral("gio"), {QStringLiteral("mime"), type});
    if (!gio.waitForFinished(20000))
        return QStringLiteral("<gio mime did not finish>");
    return QString::fromUtf8(gio.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

public:
    explicit TestRegistry(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        writeFixtures();
    }

private:
    marvoline::test::XdgSandbox& sb;
    GioAppRegistry registry;
    QString ownPath;

    QByteArray nonUtf8Path() const {
        return QFile::encodeName(sb.root() + QStringLiteral("/files/")) + "caf\xe9";
    }
    QString app(const QString& id) const { return sb.applicationsDir() + QLatin1Char('/') + id; }
    QUrl file(const QString& name) const {
        return fileUrlFromPath(QFile::encodeName(sb.root() + QStringLiteral("/files/") + name));
    }

    void writeFixtures() {
        // Registry order: exact-type applications, then those of the parent type.
        sb.addApp(QStringLiteral("c-editor.desktop"), QStringLiteral("C Editor"));
        sb.addApp(QStringLiteral("both.desktop"), QStringLiteral("Both"));
        sb.addApp(QStringLiteral("plain-b.desktop"), QStringLiteral("beta"));
        sb.addApp(QStringLiteral("plain-a.desktop"), QStringLiteral("Alpha"));
        sb.addApp(QStringLiteral("pdf-other.desktop"), QStringLiteral("gamma"));
        // The default named in mimeapps.list without any association.
        sb.addApp(QStringLiteral("pdf-default.desktop"), QStringLiteral("PDF Default"));

        // Names.
        sb.addApp(QStringLiteral("names.desktop"), QStringLiteral("Viewer"), {},
                  {QStringLiteral("Name[ja]=ビューア"),
                   QStringLiteral("X-GNOME-FullName=Image Viewer"),
                   QStringLiteral("X-GNOME-FullName[ja]=画像ビューア")});
        sb.addApp(QStringLiteral("vendor/tool.desktop"), QStringLiteral("Tool"));

        // Versions.
        sb.addApp(QStringLiteral("versioned.desktop"), QStringLiteral("Versioned"));
        writeBytes(sb.dataDir() + QStringLiteral("/metainfo/versioned.metainfo.xml"),
                   "<?xml version=\"1.0\"?>\n<component type=\"desktop-application\">\n"
                   "  <id>org.example.Versioned</id>\n"
                   "  <launchable type=\"desktop-id\">versioned.desktop</launchable>\n"
                   "  <releases>\n"
                   "    <release version=\"1.2.0\" date=\"2023-05-01\"/>\n"
                   "    <release version=\"2.0.1\" date=\"2024-03-10\"/>\n"
                   "    <release version=\"1.9\" date=\"2023-12-01\"/>\n"
                   "  </releases>\n</component>\n");
        sb.addApp(QStringLiteral("same-date.desktop"), QStringLiteral("Same Date"));
        sb.addMetainfo(QStringLiteral("same-date.desktop"),
                       {QStringLiteral("3.9"), QStringLiteral("3.10"), QStringLiteral("3.2")});
        // Named by <id> only, in a file whose name says nothing, under appdata/.
        sb.addApp(QStringLiteral("org.example.Odd.desktop"), QStringLiteral("Odd"));
        writeBytes(sb.dataHome() + QStringLiteral("/appdata/whatever.appdata.xml"),
                   "<component><id>org.example.Odd</id><releases>"
                   "<release version=\"0.5\" timestamp=\"1600000000\"/>"
                   "<release version=\"0.7\" timestamp=\"1700000000\"/>"
                   "</releases></component>");
        sb.addApp(QStringLiteral("unversioned.desktop"), QStringLiteral("Unversioned"));
        sb.addApp(QStringLiteral("broken-xml.desktop"), QStringLiteral("Broken XML"));
        writeBytes(sb.dataDir() + QStringLiteral("/metainfo/broken-xml.metainfo.xml"),
                   "<component><id>broken-xml</id><releases><release version=\"1.0\"/>"
                   "</releases><oops></component>");

        // Entries that are not loadable, and two that are.
        const QByteArray head = "[Desktop Entry]\nType=Application\n";
        const QByteArray exec = "Exec=" + QFile::encodeName(sb.recorderPath()) + " x %F\n";
        sb.addRawDesktopFile(QStringLiteral("no-exec.desktop"), head + "Name=No Exec\n");
        sb.addRawDesktopFile(QStringLiteral("bad-utf8.desktop"),
                             head + "Name=Bad\xff\xfe\n" + exec);
        sb.addRawDesktopFile(QStringLiteral("bad-utf8-exec.desktop"),
                             head + "Name=Bad Exec\nExec=" + QFile::encodeName(sb.recorderPath()) +
                                 " \xff %F\n");
        sb.addRawDesktopFile(QStringLiteral("no-name.desktop"), head + exec);
        sb.addRawDesktopFile(QStringLiteral("hidden.desktop"),
                             head + "Name=Hidden\nHidden=true\n" + exec);
        sb.addRawDesktopFile(QStringLiteral("gone.desktop"),
                             head + "Name=Gone\nExec=/nonexistent/program %F\n");
        sb.addRawDesktopFile(QStringLiteral("link.desktop"),
                             "[Desktop Entry]\nType=Link\nName=L\nURL=https://example.org\n");
        sb.addRawDesktopFile(QStringLiteral("garbage.desktop"), "\x00\x01 not a key file \xff\n");
        sb.addRawDesktopFile(QStringLiteral("no-display.desktop"),
                             head + "Name=No Display\nNoDisplay=true\n" + exec);
        sb.addRawDesktopFile(QStringLiteral("org.example.Bus.desktop"),
                             head + "Name=Bus\nDBusActivatable=true\n");

        // Exec quoting: the recorder under a name that needs every rule.
        const QString oddDir = sb.root() + QStringLiteral("/bin/we\"ird $(x) 'q' `b` \\back");
        QDir().mkpath(oddDir);
        QFile::copy(sb.recorderPath(), oddDir + QStringLiteral("/rec ord"));
        QString line = GioAppRegistry::desktopExecArgument(oddDir + QStringLiteral("/rec ord"));
        line.replace(QLatin1Char('\\'), QStringLiteral("\\\\")); // the key file's own escape
        sb.addRawDesktopFile(QStringLiteral("quoted.desktop"),
                             head + "Name=Quoted\nExec=" + line.toUtf8() + " quoted %F\n");

        // Icons: a small theme, a file icon, a name no theme has.
        const QString theme = sb.root() + QStringLiteral("/icons/marvoline-test");
        writeBytes(theme + QStringLiteral("/index.theme"),
                   "[Icon Theme]\nName=Test\nDirectories=apps,mimetypes,places\n\n"
                   "[apps]\nSize=32\nType=Scalable\nMinSize=8\nMaxSize=512\n\n"
                   "[mimetypes]\nSize=32\nType=Scalable\nMinSize=8\nMaxSize=512\n\n"
                   "[places]\nSize=32\nType=Scalable\nMinSize=8\nMaxSize=512\n");
        writeImage(theme + QStringLiteral("/apps/themed-app.png"), Qt::green);
        writeImage(theme + QStringLiteral("/places/folder.png"), Qt::yellow);
        writeImage(theme + QStringLiteral("/mimetypes/application-pdf.png"), Qt::red);
        writeImage(theme + QStringLiteral("/mimetypes/text-x-generic.png"), Qt::gray);
        writeImage(sb.root() + QStringLiteral("/pictures/file-icon.png"), Qt::blue);
        sb.addApp(QStringLiteral("icon-themed.desktop"), QStringLiteral("Icon Themed"), {},
                  {QStringLiteral("Icon=themed-app")});
        sb.addApp(
            QStringLiteral("icon-file.desktop"), QStringLiteral("Icon File"), {},
            {QStringLiteral("Icon=") + sb.root() + QStringLiteral("/pictures/file-icon.png")});
        sb.addApp(QStringLiteral("icon-missing.desktop"), QStringLiteral("Icon Missing"), {},
                  {QStringLiteral("Icon=no-such-icon-anywhere")});

        sb.writeMimeinfoCache({
            {QStringLiteral("text/x-csrc"),
             {QStringLiteral("c-editor.desktop"), QStringLiteral("both.desktop")}},
            {QStringLiteral("text/plain"),
             {QStringLiteral("plain-b.desktop"), QStringLiteral("hidden.desktop"),
              QStringLiteral("both.desktop"), QStringLiteral("plain-a.desktop")}},
            {QStringLiteral("application/pdf"), {QStringLiteral("pdf-other.desktop")}},
        });
        sb.writeDefaults(
            {{QStringLiteral("application/pdf"), QStringLiteral("pdf-default.desktop")}});
        // The desktop of the sandbox has its own list, which wins for Python.
        writeBytes(sb.configHome() + QStringLiteral("/marvoline-test-mimeapps.list"),
                   "[Default Applications]\ntext/x-python=plain-a.desktop;\n");

        // A user's hidden copy of the program's entry: it must stay as it is.
        ownPath = sb.dataHome() + QStringLiteral("/applications/") + ownId;
        writeBytes(ownPath, head + "Name=Marvoline\nHidden=true\n" + exec);

        for (const auto& [name, bytes] : QList<QPair<QString, QByteArray>>{
                 {QStringLiteral("main.c"), "int main(void) { return 0; }\n"},
                 {QStringLiteral("notes.txt"), "plain words\n"},
                 {QStringLiteral("document.pdf"),
                  "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n"},
                 {QStringLiteral("pdf-without-extension"),
                  "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n"},
                 {QStringLiteral("report.PDF"), "%PDF-1.4\n"},
                 {QStringLiteral("run-me"), "#!/bin/sh\necho hello\n"},
                 {QStringLiteral("tool.py"), "print('hi')\n"},
                 {QStringLiteral("blob.bin"), QByteArray("\x00\x01\x02\x03\xfe\xff", 6)},
             })
            sb.writeFile(name, bytes);
        sb.writeFile(QStringLiteral("folder/inside.txt"), "x");
        FILE* f = std::fopen(nonUtf8Path().constData(), "wb");
        if (f) {
            std::fputs("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n", f);
            std::fclose(f);
        }
    }

private Q_SLOTS:
    void cleanupTestCase() {
        // QTemporaryDir cannot remove a name that is not UTF-8.
        ::unlink(nonUtf8Path().constData());
    }

    void initTestCase() {
        QIcon::setThemeSearchPaths({sb.root() + QStringLiteral("/icons")});
        QIcon::setThemeName(QStringLiteral("marvoline-test"));
    }

    void applicationsInRegistryOrder() {
        // The exact type's applications first, then the parent type's that are
        // not listed yet; the hidden entry never.
        QCOMPARE(pathsOf(registry.applicationsForFile(file(QStringLiteral("main.c")))),
                 (QStringList{app("c-editor.desktop"), app("both.desktop"), app("plain-b.desktop"),
                              app("plain-a.desktop")}));
        QCOMPARE(
            pathsOf(registry.applicationsForFile(file(QStringLiteral("notes.txt")))),
            (QStringList{app("plain-b.desktop"), app("both.desktop"), app("plain-a.desktop")}));
        QVERIFY(registry.applicationsForFile(file(QStringLiteral("missing.txt"))).isEmpty());
    }

    void defaultApplication() {
        // Named in mimeapps.list though nothing associates it with the type.
        const QUrl pdf = file(QStringLiteral("document.pdf"));
        QCOMPARE(pathsOf(registry.applicationsForFile(pdf)), QStringList{app("pdf-other.desktop")});
        const std::optional<QUrl> pdfDefault = registry.defaultApplicationForFile(pdf);
        QVERIFY(pdfDefault);
        QCOMPARE(pathOf(*pdfDefault), app("pdf-default.desktop"));
        // Without a configured default GIO takes the first associated one.
        const std::optional<QUrl> cDefault =
            registry.defaultApplicationForFile(file(QStringLiteral("main.c")));
        QVERIFY(cDefault);
        QCOMPARE(pathOf(*cDefault), app("c-editor.desktop"));
        QVERIFY(!registry.defaultApplicationForFile(file(QStringLiteral("missing.pdf"))));
    }

    void namesAndIdentifiers() {
        const QUrl names = sb.appUrl(QStringLiteral("names.desktop"));
        const QByteArray oldLanguage = qgetenv("LANGUAGE");
        const auto restore = qScopeGuard([&] { qputenv("LANGUAGE", oldLanguage); });

        qputenv("LANGUAGE", "C");
        std::optional<marvoline::AppBundleInfo> info = registry.bundleInfo(names);
        QVERIFY(info);
        QCOMPARE(info->identifier, QStringLiteral("names.desktop"));
        QCOMPARE(info->localizedFullName, QStringLiteral("Image Viewer"));
        QCOMPARE(info->localizedName, QStringLiteral("Viewer"));
        QCOMPARE(info->fullName, QStringLiteral("Image Viewer"));
        QCOMPARE(info->name, QStringLiteral("Viewer"));

        qputenv("LANGUAGE", "ja");
        info = registry.bundleInfo(names);
        QVERIFY(info);
        QCOMPARE(info->localizedFullName, QStringLiteral("画像ビューア"));
        QCOMPARE(info->localizedName, QStringLiteral("ビューア"));
        QCOMPARE(info->fullName, QStringLiteral("Image Viewer"));
        QCOMPARE(info->name, QStringLiteral("Viewer"));

        // No full name at all: absent, also localized.
        info = registry.bundleInfo(sb.appUrl(QStringLiteral("plain-a.desktop")));
        QVERIFY(info);
        QCOMPARE(info->localizedFullName, std::nullopt);
        QCOMPARE(info->fullName, std::nullopt);
        QCOMPARE(info->localizedName, QStringLiteral("Alpha"));

        // Entries in subfolders get the prefixed desktop file ID.
        QCOMPARE(registry.bundleIdentifier(sb.appUrl(QStringLiteral("vendor/tool.desktop"))),
                 QStringLiteral("vendor-tool.desktop"));
        const std::optional<QUrl> byId =
            registry.applicationForIdentifier(QStringLiteral("vendor-tool.desktop"));
        QVERIFY(byId);
        QCOMPARE(pathOf(*byId), app("vendor/tool.desktop"));
        QVERIFY(!registry.applicationForIdentifier(QStringLiteral("nothing-here.desktop")));
        QVERIFY(!registry.applicationForIdentifier(QString()));
    }

    void malformedEntries_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("loadable");
        for (const char* id : {"no-exec.desktop", "bad-utf8.desktop", "bad-utf8-exec.desktop",
                               "no-name.desktop", "hidden.desktop", "gone.desktop", "link.desktop",
                               "garbage.desktop", "missing.desktop"})
            QTest::newRow(id) << sb.appUrl(QString::fromLatin1(id)) << false;
        QTest::newRow("folder") << QUrl::fromLocalFile(sb.applicationsDir()) << false;
        QTest::newRow("not a file URL")
            << QUrl(QStringLiteral("https://example.org/a.desktop")) << false;
        QTest::newRow("empty URL") << QUrl() << false;
        QTest::newRow("no-display.desktop")
            << sb.appUrl(QStringLiteral("no-display.desktop")) << true;
        QTest::newRow("D-Bus activatable without Exec")
            << sb.appUrl(QStringLiteral("org.example.Bus.desktop")) << true;
        QTest::newRow("Exec needing quotes") << sb.appUrl(QStringLiteral("quoted.desktop")) << true;
    }

    void malformedEntries() {
        QFETCH(QUrl, url);
        QFETCH(bool, loadable);
        QCOMPARE(registry.bundleIdentifier(url).has_value(), loadable);
        QCOMPARE(registry.bundleInfo(url).has_value(), loadable);
        QVERIFY(!registry.applicationIcon(url).isNull());
        QVERIFY(!registry.shortVersion(url));
    }

    void applicationPicker() {
        const QList<marvoline::InstalledApp> apps = registry.allApplications();
        QStringList names;
        for (const marvoline::InstalledApp& a : apps) {
            names.append(a.name);
            QVERIFY2(!a.icon.isNull(), qPrintable(a.name));
        }
        // Case does not decide the order; hidden, NoDisplay and broken entries are left out.
        QVERIFY(names.indexOf(QStringLiteral("Alpha")) >= 0);
        QVERIFY(names.indexOf(QStringLiteral("Alpha")) < names.indexOf(QStringLiteral("beta")));
        QVERIFY(names.indexOf(QStringLiteral("beta")) < names.indexOf(QStringLiteral("C Editor")));
        QVERIFY(names.indexOf(QStringLiteral("C Editor")) < names.indexOf(QStringLiteral("gamma")));
        QVERIFY(names.contains(QStringLiteral("Image Viewer")));
        for (const char* absent : {"Hidden", "No Display", "No Exec", "Gone", "Marvoline"})
            QVERIFY2(!names.contains(QString::fromLatin1(absent)), absent);
    }

    void versions() {
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("versioned.desktop"))),
                 QStringLiteral("2.0.1"));
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("same-date.desktop"))),
                 QStringLiteral("3.10"));
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("org.example.Odd.desktop"))),
                 QStringLiteral("0.7"));
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("unversioned.desktop"))),
                 std::nullopt);
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("broken-xml.desktop"))),
                 std::nullopt);
    }

    void newestRelease_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected"); // empty: absent
        const QByteArray c = "<component><id>org.a.App</id><releases>";
        const QByteArray e = "</releases></component>";
        QTest::newRow("date wins over order and version")
            << c +
                   "<release version=\"9.0\" date=\"2020-01-01\"/><release version=\"1.0\" "
                   "date=\"2021-01-01\"/>" +
                   e
            << "org.a.App.desktop"
            << "1.0";
        QTest::newRow("timestamp beside date")
            << c +
                   "<release version=\"1\" date=\"2022-01-01\"/><release version=\"2\" "
                   "timestamp=\"1700000000\"/>" +
                   e
            << "org.a.App.desktop"
            << "2";
        QTest::newRow("no dates: highest version")
            << c +
                   "<release version=\"1.9\"/><release version=\"1.10\"/><release "
                   "version=\"1.2\"/>" +
                   e
            << "org.a.App"
            << "1.10";
        QTest::newRow("incomparable: first listed")
            << c + "<release version=\"beta\"/><release version=\"alpha\"/>" + e
            << "org.a.App.desktop"
            << "beta";
        QTest::newRow("development only when nothing else")
            << c +
                   "<release version=\"2.0\" type=\"development\" date=\"2024-01-01\"/>"
                   "<release version=\"1.0\" date=\"2023-01-01\"/>" +
                   e
            << "org.a.App.desktop"
            << "1.0";
        QTest::newRow("id with .desktop")
            << QByteArray("<component><id>org.b.App.desktop</id><releases><release "
                          "version=\"3\"/></releases></component>")
            << "org.b.App.desktop"
            << "3";
        QTest::newRow("other component")
            << c + "<release version=\"1\"/>" + e << "org.z.App.desktop"
            << "";
        QTest::newRow("provides id does not count")
            << QByteArray("<component><id>x</id><provides><id>org.c.App.desktop</id></provides>"
                          "<releases><release version=\"1\"/></releases></component>")
            << "org.c.App.desktop"
            << "";
        QTest::newRow("second of a collection")
            << "<components>" + c + "<release version=\"1\"/>" + e +
                   "<component><launchable type=\"desktop-id\">d.desktop</launchable><releases>"
                   "<release version=\"4\"/></releases></component></components>"
            << "d.desktop"
            << "4";
        QTest::newRow("no releases")
            << QByteArray("<component><id>org.a.App</id></component>") << "org.a.App.desktop"
            << "";
        QTest::newRow("cut off") << c + "<release version=\"1\"/>"
                                 << "org.a.App.desktop"
                                 << "";
        QTest::newRow("not XML") << QByteArray("\xff\xfe garbage <<") << "org.a.App.desktop"
                                 << "";
    }

    void newestRelease() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, id);
        QFETCH(QString, expected);
        const std::optional<QString> version = marvoline::newestReleaseVersion(xml, id);
        QCOMPARE(version.value_or(QString()), expected);
    }

    void contentTypes_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("type"); // empty: absent
        QTest::newRow("PDF sniffed")
            << file(QStringLiteral("pdf-without-extension")) << "application/pdf";
        QTest::newRow("upper-case extension")
            << file(QStringLiteral("report.PDF")) << "application/pdf";
        QTest::newRow("shebang") << file(QStringLiteral("run-me")) << "application/x-shellscript";
        QTest::newRow("folder") << file(QStringLiteral("folder")) << "inode/directory";
        QTest::newRow("name not UTF-8") << fileUrlFromPath(nonUtf8Path()) << "application/pdf";
        QTest::newRow("missing") << file(QStringLiteral("missing.pdf")) << "";
        QTest::newRow("empty URL") << QUrl() << "";
    }

    void contentTypes() {
        QFETCH(QUrl, url);
        QFETCH(QString, type);
        QCOMPARE(registry.contentType(url).value_or(QString()), type);
    }

    void contentTypeHierarchy() {
        QVERIFY(
            registry.contentTypeIsA(QStringLiteral("text/x-csrc"), QStringLiteral("text/plain")));
        QVERIFY(registry.contentTypeIsA(QStringLiteral("application/x-shellscript"),
                                        QStringLiteral("text/plain")));
        QVERIFY(registry.contentTypeIsA(QStringLiteral("application/x-pdf"),
                                        QStringLiteral("application/pdf")));
        QVERIFY(registry.contentTypeIsA(QStringLiteral("image/png"), QStringLiteral("image/png")));
        QVERIFY(
            !registry.contentTypeIsA(QStringLiteral("image/png"), QStringLiteral("text/plain")));
        QVERIFY(
            !registry.contentTypeIsA(QStringLiteral("text/plain"), QStringLiteral("text/x-csrc")));
        QVERIFY(!registry.contentTypeIsA(QString(), QStringLiteral("text/plain")));
    }

    void applicationIcons() {
        const QIcon themed =
            registry.applicationIcon(sb.appUrl(QStringLiteral("icon-themed.desktop")));
        QCOMPARE(themed.name(), QStringLiteral("themed-app"));
        QCOMPARE(centreOf(themed), QColor(Qt::green).rgb());
        QCOMPARE(centreOf(registry.applicationIcon(sb.appUrl(QStringLiteral("icon-file.desktop")))),
                 QColor(Qt::blue).rgb());
        // Nothing resolves: the bundled generic application icon.
        const QImage generic =
            QIcon(QStringLiteral(":/icons/application.svg")).pixmap(32, 32).toImage();
        QVERIFY(!generic.isNull());
        for (const char* id : {"icon-missing.desktop", "plain-a.desktop", "gone.desktop"})
            QCOMPARE(registry.applicationIcon(sb.appUrl(QString::fromLatin1(id)))
                         .pixmap(32, 32)
                         .toImage(),
                     generic);
    }

    void fileIcons() {
        QCOMPARE(centreOf(marvoline::iconForFile(file(QStringLiteral("folder")))),
                 QColor(Qt::yellow).rgb());
        QCOMPARE(centreOf(marvoline::iconForFile(file(QStringLiteral("document.pdf")))),
                 QColor(Qt::red).rgb());
        // By contents when the name says nothing, also for names that are not UTF-8.
        QCOMPARE(centreOf(marvoline::iconForFile(file(QStringLiteral("pdf-without-extension")))),
                 QColor(Qt::red).rgb());
        QCOMPARE(centreOf(marvoline::iconForFile(fileUrlFromPath(nonUtf8Path()))),
                 QColor(Qt::red).rgb());
        // text/x-csrc has no icon in the theme: its generic icon.
        QCOMPARE(centreOf(marvoline::iconForFile(file(QStringLiteral("main.c")))),
                 QColor(Qt::gray).rgb());
        // Nothing in the theme at all, or no file: still an icon.
        QVERIFY(!marvoline::iconForFile(file(QStringLiteral("blob.bin"))).isNull());
        QVERIFY(!marvoline::iconForFile(file(QStringLiteral("missing.bin"))).isNull());
    }

    void ownApplication() {
        // The user's hidden copy: not the program's entry, and never replaced.
        const QByteArray hiddenCopy = readBytes(ownPath);
        QVERIFY(!registry.applicationForIdentifier(ownId));
        registry.registerOwnApplication();
        QCOMPARE(readBytes(ownPath), hiddenCopy);
        QVERIFY(!registry.setOwnApplicationAsDefault(QStringLiteral("text/x-c++src")));
        QVERIFY(!gioMimeDefault(QStringLiteral("text/x-c++src")).contains(ownId));

        // Once it is gone the program installs its entry, running this executable.
        QVERIFY(QFile::remove(ownPath));
        registry.registerOwnApplication();
        const QByteArray written = readBytes(ownPath);
        const QByteArray execLine =
            "\nExec=" +
            GioAppRegistry::desktopExecArgument(QCoreApplication::applicationFilePath()).toUtf8() +
            " %F\n";
        QVERIFY2(written.contains(execLine), written.constData());
        QVERIFY(written.contains("Name=Marvoline\n"));
        QTRY_VERIFY(registry.applicationForIdentifier(ownId));
        QCOMPARE(pathOf(*registry.applicationForIdentifier(ownId)), ownPath);

        // An existing entry stays as the user left it.
        writeBytes(ownPath, written + "X-Test-Marker=kept\n");
        registry.registerOwnApplication();
        QVERIFY(readBytes(ownPath).endsWith("X-Test-Marker=kept\n"));
    }

    void ownApplicationAsDefault() {
        QVERIFY(registry.setOwnApplicationAsDefault(QStringLiteral("text/markdown")));
        QVERIFY2(
            gioMimeDefault(QStringLiteral("text/markdown")).endsWith(QStringLiteral(": ") + ownId),
            qPrintable(gioMimeDefault(QStringLiteral("text/markdown"))));
        // The desktop's own list overrides the one GIO writes: not reported as done.
        QVERIFY(!registry.setOwnApplicationAsDefault(QStringLiteral("text/x-python")));
        QVERIFY(gioMimeDefault(QStringLiteral("text/x-python"))
                    .endsWith(QStringLiteral(": plain-a.desktop")));
        QVERIFY(!registry.setOwnApplicationAsDefault(QString()));
    }

    void ownEntryWrittenJustBeforeSettingDefault() {
        // GIO has not indexed a file written a moment ago: setting the default
        // must still succeed and be what others read.
        QVERIFY(QFile::remove(ownPath));
        QTRY_VERIFY(!registry.applicationForIdentifier(ownId));
        QVERIFY(registry.setOwnApplicationAsDefault(QStringLiteral("text/csv")));
        QVERIFY(QFileInfo::exists(ownPath));
        QVERIFY(gioMimeDefault(QStringLiteral("text/csv")).endsWith(QStringLiteral(": ") + ownId));
    }

    void execArgumentQuoting_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "/usr/bin/marvoline"
                               << "/usr/bin/marvoline";
        QTest::newRow("space") << "/opt/my app/run"
                               << "\"/opt/my app/run\"";
        QTest::newRow("escapes") << "a\"b`c$d\\e"
                                 << "\"a\\\"b\\`c\\$d\\\\e\"";
        QTest::newRow("percent") << "/x/100%"
                                 << "/x/100%%";
        QTest::newRow("empty") << ""
                               << "\"\"";
    }

    void execArgumentQuoting() {
        QFETCH(QString, argument);
        QFETCH(QString, quoted);
        QCOMPARE(GioAppRegistry::desktopExecArgument(argument), quoted);
    }
};

MARVOLINE_TEST_MAIN(TestRegistry)
#include "tst_registry.moc"
