// The registry over real GIO in a private XDG sandbox. Every file is written before the first GIO
// call, so GIO's file monitors only matter where a test says so.

#include "platform/AppStreamMetainfo.h"
#include "platform/FileIcons.h"
#include "platform/FilePaths.h"
#include "platform/gio/GioAppRegistry.h"
#include "support/RawFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>

using namespace marvoline;

namespace {

const QString ownId = AppRegistry::ownIdentifier();
const QByteArray pdfHead = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n";

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The desktop file ID an independent reader, GIO's command-line tool, names as the default.
QString gioMimeDefault(const QString& type) {
    QProcess gio;
    gio.start("gio", {"mime", type});
    if (!gio.waitForFinished(20000))
        return "<gio mime did not finish>";
    return QString::fromUtf8(gio.readAllStandardOutput()).section(u'\n', 0, 0).section(u' ', -1);
}

// A 32 x 32 icon of one colour.
QByteArray svg(const QByteArray& colour) {
    const QByteArray rect = "<rect width='32' height='32' fill='" + colour + "'/>";
    return "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='32'>" + rect + "</svg>";
}

QColor centreOf(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().pixelColor(16, 16);
}

QByteArray component(const QByteArray& id, const QByteArray& releases) {
    return "<component><id>" + id + "</id><releases>" + releases + "</releases></component>";
}

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT

public:
    explicit TestRegistry(test::XdgSandbox& sandbox)
        : sb(sandbox) {
        // "id:Name"; pdf-default is the configured default without any association.
        for (const QString app : {"c-editor:C Editor", "both:Both", "plain-b:beta", "plain-a:Alpha",
                                  "pdf-other:gamma", "pdf-default:PDF Default", "vendor/tool:Tool"})
            sb.addApp(app.section(u':', 0, 0) + ".desktop", app.section(u':', 1));
        sb.addApp("names.desktop", "Viewer", {},
                  {"Name[ja]=ビューア", "X-GNOME-FullName=Image Viewer",
                   "X-GNOME-FullName[ja]=画像ビューア"});
        sb.addApp("partly.desktop", "Foo", {}, {"Name[ja]=フー", "X-GNOME-FullName=Foo Full Name"});

        const QByteArray head = "[Desktop Entry]\nType=Application\n";
        const QByteArray recorder = QFile::encodeName(sb.recorderPath());
        const QByteArray exec = "Exec=" + recorder + " x %F\n";
        for (const auto& [id, text] : QList<QPair<const char*, QByteArray>>{
                 {"no-exec", head + "Name=No Exec\n"},
                 {"bad-utf8", head + "Name=Bad\xff\xfe\n" + exec},
                 {"bad-utf8-exec", head + "Name=Bad Exec\nExec=" + recorder + " \xff %F\n"},
                 {"no-name", head + exec},
                 {"hidden", head + "Name=Hidden\nHidden=true\n" + exec},
                 {"gone", head + "Name=Gone\nExec=/nonexistent/program %F\n"},
                 {"garbage", "not a key file \xff\n"},
                 {"no-display", head + "Name=No Display\nNoDisplay=true\n" + exec},
                 {"org.example.Bus", head + "Name=Bus\nDBusActivatable=true\n"}})
            sb.addRawDesktopFile(QString::fromLatin1(id) + ".desktop", text);
        // The recorder under a name that needs every Exec quoting rule.
        const QString oddDir = sb.root() + "/bin/we\"ird $(x) 'q' `b` \\back";
        QDir().mkpath(oddDir);
        QFile::copy(sb.recorderPath(), oddDir + "/rec ord");
        QString line = GioAppRegistry::desktopExecArgument(oddDir + "/rec ord");
        line.replace(u'\\', "\\\\"); // the key file's own escape
        sb.addRawDesktopFile("quoted.desktop",
                             head + "Name=Quoted\nExec=" + line.toUtf8() + " quoted %F\n");

        sb.writeMimeinfoCache({
            {"text/x-csrc", {"c-editor.desktop", "both.desktop"}},
            {"text/plain",
             {"plain-b.desktop", "hidden.desktop", "both.desktop", "plain-a.desktop"}},
            {"application/pdf", {"pdf-other.desktop"}},
        });
        sb.writeDefaults({{"application/pdf", "pdf-default.desktop"}});
        // The sandbox desktop's own list wins over mimeapps.list for Python.
        raw.write(sb.configHome() + "/marvoline-test-mimeapps.list",
                  "[Default Applications]\ntext/x-python=plain-a.desktop;\n");
        // A user's hidden copy of the program's entry: it must stay as it is.
        raw.write(ownPath, head + "Name=Marvoline\nHidden=true\n" + exec);

        // Versions: found by <id> in a file named otherwise, the user's folder before the system's.
        sb.addApp("same-date.desktop", "Same Date");
        sb.addMetainfo("same-date.desktop", {"3.9", "3.10", "3.2"});
        sb.addApp("org.example.Odd.desktop", "Odd");
        raw.write(sb.dataHome() + "/appdata/whatever.appdata.xml",
                  component("org.example.Odd", "<release version='0.5' timestamp='1600000000'/>"
                                               "<release version='0.7' timestamp='1700000000'/>"));
        sb.addApp("overridden.desktop", "Overridden");
        sb.addMetainfo("overridden.desktop", {"1.0"});
        raw.write(sb.dataHome() + "/metainfo/overridden.metainfo.xml",
                  component("overridden", "<release version='0.9'/>"));
        sb.addApp("unversioned.desktop", "Unversioned");
        sb.addApp("broken-xml.desktop", "Broken XML");
        raw.write(sb.dataDir() + "/metainfo/broken-xml.metainfo.xml",
                  component("broken-xml", "<release version='1.0'/><oops>"));

        QIcon::setThemeSearchPaths({sb.root() + "/icons"});
        QIcon::setThemeName("marvoline-test");
        const QString theme = sb.root() + "/icons/marvoline-test";
        raw.write(theme + "/index.theme", "[Icon Theme]\nName=Test\nDirectories=32\n\n"
                                          "[32]\nSize=32\nType=Scalable\nMinSize=8\nMaxSize=512\n");
        raw.write(theme + "/32/themed-app.svg", svg("#00ff00"));
        raw.write(theme + "/32/folder.svg", svg("#ffff00"));
        raw.write(theme + "/32/application-pdf.svg", svg("#ff0000"));
        raw.write(theme + "/32/text-x-generic.svg", svg("#a0a0a4"));
        raw.write(sb.root() + "/pictures/file-icon.svg", svg("#ff00ff"));
        QImage blue(32, 32, QImage::Format_ARGB32);
        blue.fill(Qt::blue);
        blue.save(sb.root() + "/pictures/file-icon.png");
        for (const QString icon : {"themed-app", "no-such-icon-anywhere", "/pictures/file-icon.png",
                                   "/pictures/file-icon.svg", "/pictures/gone.png"})
            sb.addApp("icon-" + QFileInfo(icon).fileName() + ".desktop", "I", {},
                      {"Icon=" + (icon.startsWith(u'/') ? sb.root() + icon : icon)});

        sb.writeFile("main.c", "int main(void) { return 0; }\n");
        sb.writeFile("notes.txt", "plain words\n");
        sb.writeFile("document.pdf", pdfHead);
        sb.writeFile("pdf-without-extension", pdfHead);
        sb.writeFile("report.PDF", "%PDF-1.4\n");
        sb.writeFile("run-me", "#!/bin/sh\necho hello\n");
        sb.writeFile("blob.bin", QByteArray("\x00\x01\x02\x03\xfe\xff", 6));
        sb.writeFile("folder/inside.txt", "x");
        raw.write(nonUtf8Path(), pdfHead);
    }

private:
    test::XdgSandbox& sb;
    test::RawFiles raw;
    GioAppRegistry registry;
    const QString ownPath = sb.dataHome() + "/applications/" + ownId;

    QByteArray nonUtf8Path() const { return QFile::encodeName(sb.root() + "/files/") + "caf\xe9"; }
    // Entries below the applications folder by relative name, others by full path.
    QString entry(const std::optional<QUrl>& url) const {
        const QString path = url ? QFile::decodeName(localPath(*url)) : QString();
        const QString dir = sb.applicationsDir() + u'/';
        return path.startsWith(dir) ? path.mid(dir.size()) : path;
    }
    QUrl file(const QString& name) const {
        return fileUrlFromPath(QFile::encodeName(sb.root() + "/files/" + name));
    }

private Q_SLOTS:
    void applicationsAndDefaults() {
        const auto apps = [this](const QString& name) {
            QStringList ids;
            for (const QUrl& app : registry.applicationsForFile(file(name)))
                ids.append(entry(app));
            return ids.join(u' ');
        };
        const auto defaultFor = [this](const QString& name) {
            return entry(registry.defaultApplicationForFile(file(name)));
        };
        // The exact type's applications, then the parent type's not listed yet; never the hidden.
        QCOMPARE(apps("main.c"), "c-editor.desktop both.desktop plain-b.desktop plain-a.desktop");
        QCOMPARE(apps("notes.txt"), "plain-b.desktop both.desktop plain-a.desktop");
        QCOMPARE(apps("missing.txt"), "");
        // The configured default need not be in the list; without one, the first associated.
        QCOMPARE(apps("document.pdf"), "pdf-other.desktop");
        QCOMPARE(defaultFor("document.pdf"), "pdf-default.desktop");
        QCOMPARE(defaultFor("main.c"), "c-editor.desktop");
        QCOMPARE(defaultFor("missing.pdf"), "");
    }

    void namesFollowLanguage() {
        const QByteArray oldLanguage = qgetenv("LANGUAGE");
        const auto restore = qScopeGuard([&] { qputenv("LANGUAGE", oldLanguage); });
        // identifier|localized full name|localized name|full name|name, "-" for absent
        const auto names = [this](const char* language, const QString& id) {
            qputenv("LANGUAGE", language);
            const std::optional<AppBundleInfo> i = registry.bundleInfo(sb.appUrl(id));
            const QString no = "-";
            return !i ? QString()
                      : QStringList{i->identifier, i->localizedFullName.value_or(no),
                                    i->localizedName.value_or(no), i->fullName.value_or(no),
                                    i->name.value_or(no)}
                            .join(u'|');
        };
        // Localized means translated: an untranslated full name must not pass for one.
        QCOMPARE(names("C", "names.desktop"), "names.desktop|-|-|Image Viewer|Viewer");
        QCOMPARE(names("ja", "names.desktop"),
                 "names.desktop|画像ビューア|ビューア|Image Viewer|Viewer");
        QCOMPARE(names("ja_JP.UTF-8", "names.desktop"),
                 "names.desktop|画像ビューア|ビューア|Image Viewer|Viewer");
        QCOMPARE(names("ja", "plain-a.desktop"), "plain-a.desktop|-|-|-|Alpha");
        QCOMPARE(names("ja", "partly.desktop"), "partly.desktop|-|フー|Foo Full Name|Foo");
        QCOMPARE(names("de:ja", "partly.desktop"), "partly.desktop|-|フー|Foo Full Name|Foo");
        QCOMPARE(names("de", "partly.desktop"), "partly.desktop|-|-|Foo Full Name|Foo");
        // Entries in subfolders have prefixed IDs, and are found by them.
        QCOMPARE(names("C", "vendor/tool.desktop"), "vendor-tool.desktop|-|-|-|Tool");
        QCOMPARE(entry(registry.applicationForIdentifier("vendor-tool.desktop")),
                 "vendor/tool.desktop");
        QCOMPARE(entry(registry.applicationForIdentifier("names.desktop")), "names.desktop");
    }

    void malformedEntries_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("loadable");
        for (const char* id : {"no-exec", "bad-utf8", "bad-utf8-exec", "no-name", "hidden", "gone",
                               "garbage", "missing"})
            QTest::newRow(id) << sb.appUrl(QString::fromLatin1(id) + ".desktop") << false;
        QTest::newRow("folder") << QUrl::fromLocalFile(sb.applicationsDir()) << false;
        QTest::newRow("not a file URL") << QUrl("https://example.org/a.desktop") << false;
        QTest::newRow("empty URL") << QUrl() << false;
        QTest::newRow("NoDisplay") << sb.appUrl("no-display.desktop") << true;
        QTest::newRow("D-Bus, no Exec") << sb.appUrl("org.example.Bus.desktop") << true;
        QTest::newRow("Exec needing quotes") << sb.appUrl("quoted.desktop") << true;
    }

    void malformedEntries() {
        QFETCH(QUrl, url);
        QFETCH(bool, loadable);
        QCOMPARE(registry.bundleIdentifier(url).has_value(), loadable);
        QCOMPARE(registry.bundleInfo(url).has_value(), loadable);
        QCOMPARE(registry.applicationEntries({url}).value(0).has_value(), loadable);
        QVERIFY(!registry.applicationIcon(url).isNull());
        QVERIFY(!registry.shortVersion(url));
        if (!loadable)
            QVERIFY(!registry.applicationForIdentifier(url.fileName()));
    }

    void applicationPicker() {
        QStringList names;
        for (const InstalledApp& a : registry.allApplications()) {
            names.append(a.name);
            QVERIFY2(!a.icon.isNull(), qPrintable(a.name));
        }
        // Sorted ignoring case; hidden, NoDisplay and broken entries left out.
        const QRegularExpression ours("^(Alpha|beta|C Editor|gamma|Image Viewer|Hidden|No Display|"
                                      "No Exec|Gone|Marvoline)$");
        QCOMPARE(names.filter(ours),
                 (QStringList{"Alpha", "beta", "C Editor", "gamma", "Image Viewer"}));
    }

    void versions() {
        QStringList versions;
        for (const char* id :
             {"same-date", "org.example.Odd", "overridden", "unversioned", "broken-xml"})
            versions << registry.shortVersion(sb.appUrl(QString::fromLatin1(id) + ".desktop"))
                            .value_or("-");
        QCOMPARE(versions, (QStringList{"3.10", "0.7", "0.9", "-", "-"}));
    }

    void newestRelease_data() {
        QTest::addColumn<QByteArray>("xml");   // read for org.a.App.desktop
        QTest::addColumn<QString>("expected"); // empty: absent
        const QByteArray app = "org.a.App";
        QTest::newRow("date over order and version")
            << component(app, "<release version='9.0' date='2020-01-01'/>"
                              "<release version='1.0' date='2021-01-01'/>")
            << "1.0";
        QTest::newRow("timestamp beside date")
            << component(app, "<release version='1' date='2022-01-01'/>"
                              "<release version='2' timestamp='1700000000'/>")
            << "2";
        QTest::newRow("no dates: highest version")
            << component(app, "<release version='1.9'/><release version='1.10'/>"
                              "<release version='1.2'/>")
            << "1.10";
        QTest::newRow("incomparable: first listed")
            << component(app, "<release version='beta'/><release version='alpha'/>") << "beta";
        QTest::newRow("development only when nothing else")
            << component(app, "<release version='2.0' type='development' date='2024-01-01'/>"
                              "<release version='1.0' date='2023-01-01'/>")
            << "1.0";
        QTest::newRow("id with .desktop")
            << component("org.a.App.desktop", "<release version='3'/>") << "3";
        QTest::newRow("other component") << component("org.z.App", "<release version='1'/>") << "";
        QTest::newRow("provides id does not count")
            << QByteArray("<component><id>x</id><provides><id>org.a.App.desktop</id></provides>"
                          "<releases><release version='1'/></releases></component>")
            << "";
        QTest::newRow("second of a collection")
            << "<components>" + component("x", "<release version='1'/>") +
                   "<component><launchable type='desktop-id'>org.a.App.desktop</launchable>"
                   "<releases><release version='4'/></releases></component></components>"
            << "4";
        QTest::newRow("not XML") << QByteArray("\xff\xfe garbage <<") << "";
    }

    void newestRelease() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, expected);
        QCOMPARE(newestReleaseVersion(xml, "org.a.App.desktop").value_or(QString()), expected);
    }

    void icons() {
        const auto appIcon = [this](const QString& name) {
            return registry.applicationIcon(sb.appUrl("icon-" + name + ".desktop"));
        };
        QCOMPARE(centreOf(appIcon("themed-app")), QColor(Qt::green));
        QCOMPARE(centreOf(appIcon("file-icon.png")), QColor(Qt::blue));
        QCOMPARE(centreOf(appIcon("file-icon.svg")), QColor(Qt::magenta));
        // Nothing resolves, or no entry: the bundled generic application icon.
        const QImage generic = QIcon(":/icons/application.svg").pixmap(32, 32).toImage();
        QVERIFY(!generic.isNull());
        for (const char* id : {"icon-no-such-icon-anywhere.desktop", "icon-gone.png.desktop",
                               "unversioned.desktop", "missing.desktop"})
            QCOMPARE(registry.applicationIcon(sb.appUrl(id)).pixmap(32, 32).toImage(), generic);
    }

    void fileTypesAndIcons_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("type");      // empty: absent
        QTest::addColumn<QColor>("iconColour"); // the theme's icon; invalid: any icon
        const QColor pdf = Qt::red, any;
        QTest::newRow("PDF") << file("document.pdf") << "application/pdf" << pdf;
        QTest::newRow("PDF without extension")
            << file("pdf-without-extension") << "application/pdf" << pdf;
        QTest::newRow("report.PDF") << file("report.PDF") << "application/pdf" << pdf;
        QTest::newRow("name not UTF-8")
            << fileUrlFromPath(nonUtf8Path()) << "application/pdf" << pdf;
        QTest::newRow("shebang") << file("run-me") << "application/x-shellscript" << any;
        QTest::newRow("folder") << file("folder") << "inode/directory" << QColor(Qt::yellow);
        QTest::newRow("generic icon") << file("main.c") << "text/x-csrc" << QColor(Qt::gray);
        QTest::newRow("no icon in theme") << file("blob.bin") << "application/octet-stream" << any;
        QTest::newRow("missing") << file("missing.pdf") << "" << any;
        QTest::newRow("empty URL") << QUrl() << "" << any;
    }

    void fileTypesAndIcons() {
        QFETCH(QUrl, url);
        QFETCH(QString, type);
        QFETCH(QColor, iconColour);
        QCOMPARE(registry.contentType(url).value_or(QString()), type);
        const QIcon icon = iconForFile(url);
        QVERIFY(!icon.isNull());
        if (iconColour.isValid())
            QCOMPARE(centreOf(icon), iconColour);
    }

    void ownApplication() {
        // The user's hidden copy: not the program's entry, and never replaced.
        const QByteArray hiddenCopy = readBytes(ownPath);
        QVERIFY(!registry.applicationForIdentifier(ownId));
        registry.registerOwnApplication();
        QCOMPARE(readBytes(ownPath), hiddenCopy);
        QVERIFY(!registry.setOwnApplicationAsDefault("text/x-c++src"));
        QVERIFY(gioMimeDefault("text/x-c++src") != ownId);

        // Once it is gone the program installs its entry, running this executable.
        QVERIFY(QFile::remove(ownPath));
        registry.registerOwnApplication();
        const QByteArray written = readBytes(ownPath);
        const QString program = QCoreApplication::applicationFilePath();
        const QByteArray exec =
            "\nExec=" + GioAppRegistry::desktopExecArgument(program).toUtf8() + " %F\n";
        QVERIFY2(written.contains(exec), written.constData());
        QVERIFY(written.contains("Name=Marvoline\n"));
        QTRY_COMPARE(entry(registry.applicationForIdentifier(ownId)), ownPath);

        // An existing entry stays as the user left it.
        QVERIFY(raw.write(ownPath, written + "X-Test-Marker=kept\n"));
        registry.registerOwnApplication();
        QVERIFY(readBytes(ownPath).endsWith("X-Test-Marker=kept\n"));
    }

    void ownApplicationAsDefault() {
        QVERIFY(registry.setOwnApplicationAsDefault("text/markdown"));
        QCOMPARE(gioMimeDefault("text/markdown"), ownId);
        // The desktop's own list overrides the one GIO writes: not reported as done.
        QVERIFY(!registry.setOwnApplicationAsDefault("text/x-python"));
        QCOMPARE(gioMimeDefault("text/x-python"), "plain-a.desktop");
        QVERIFY(!registry.setOwnApplicationAsDefault(QString()));

        // An entry written a moment ago, not yet indexed by GIO, is still made the default.
        QVERIFY(QFile::remove(ownPath));
        QTRY_VERIFY(!registry.applicationForIdentifier(ownId));
        QVERIFY(registry.setOwnApplicationAsDefault("text/csv"));
        QVERIFY(QFileInfo::exists(ownPath));
        QCOMPARE(gioMimeDefault("text/csv"), ownId);
    }
};

MARVOLINE_TEST_MAIN(TestRegistry)
#include "tst_registry.moc"
