// What the registry tells about an application and a document besides its
// identity: the release version from AppStream metainfo, the application's
// icon and the icon of a document or folder. Real GIO in a private XDG
// sandbox, with a small icon theme of plain colours, so each icon shows where
// it came from.

#include "platform/AppStreamMetainfo.h"
#include "platform/FileIcons.h"
#include "platform/FilePaths.h"
#include "platform/gio/GioAppRegistry.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <unistd.h>

using marvoline::fileUrlFromPath;
using marvoline::GioAppRegistry;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

void writeImage(const QString& path, Qt::GlobalColor color) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(color);
    if (!image.save(path, "PNG"))
        qFatal("cannot write %s", qPrintable(path));
}

QRgb centreOf(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().pixel(16, 16);
}

const QByteArray pdfHead = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n";

} // namespace

class TestAppMetadata : public QObject {
    Q_OBJECT

public:
    explicit TestAppMetadata(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        writeFixtures();
    }

private:
    marvoline::test::XdgSandbox& sb;
    GioAppRegistry registry;

    QByteArray nonUtf8Path() const {
        return QFile::encodeName(sb.root() + QStringLiteral("/files/")) + "caf\xe9";
    }
    QUrl file(const QString& name) const {
        return fileUrlFromPath(QFile::encodeName(sb.root() + QStringLiteral("/files/") + name));
    }

    void writeFixtures() {
        // Versions: releases out of order, of one date, by timestamp, none, broken.
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
        // The user's data folder comes before the system's.
        sb.addApp(QStringLiteral("overridden.desktop"), QStringLiteral("Overridden"));
        sb.addMetainfo(QStringLiteral("overridden.desktop"), {QStringLiteral("1.0")});
        writeBytes(sb.dataHome() + QStringLiteral("/metainfo/overridden.metainfo.xml"),
                   "<component><id>overridden</id><releases><release version=\"0.9\"/>"
                   "</releases></component>");
        sb.addApp(QStringLiteral("unversioned.desktop"), QStringLiteral("Unversioned"));
        sb.addApp(QStringLiteral("broken-xml.desktop"), QStringLiteral("Broken XML"));
        writeBytes(sb.dataDir() + QStringLiteral("/metainfo/broken-xml.metainfo.xml"),
                   "<component><id>broken-xml</id><releases><release version=\"1.0\"/>"
                   "</releases><oops></component>");

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
        writeBytes(sb.root() + QStringLiteral("/pictures/file-icon.svg"),
                   "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\">"
                   "<rect width=\"32\" height=\"32\" fill=\"#ff00ff\"/></svg>");
        sb.addApp(QStringLiteral("icon-themed.desktop"), QStringLiteral("Icon Themed"), {},
                  {QStringLiteral("Icon=themed-app")});
        sb.addApp(
            QStringLiteral("icon-file.desktop"), QStringLiteral("Icon File"), {},
            {QStringLiteral("Icon=") + sb.root() + QStringLiteral("/pictures/file-icon.png")});
        sb.addApp(
            QStringLiteral("icon-svg.desktop"), QStringLiteral("Icon SVG"), {},
            {QStringLiteral("Icon=") + sb.root() + QStringLiteral("/pictures/file-icon.svg")});
        sb.addApp(QStringLiteral("icon-missing.desktop"), QStringLiteral("Icon Missing"), {},
                  {QStringLiteral("Icon=no-such-icon-anywhere")});
        sb.addApp(QStringLiteral("icon-gone-file.desktop"), QStringLiteral("Icon Gone File"), {},
                  {QStringLiteral("Icon=") + sb.root() + QStringLiteral("/pictures/gone.png")});

        sb.writeFile(QStringLiteral("document.pdf"), pdfHead);
        sb.writeFile(QStringLiteral("pdf-without-extension"), pdfHead);
        sb.writeFile(QStringLiteral("main.c"), "int main(void) { return 0; }\n");
        sb.writeFile(QStringLiteral("blob.bin"), QByteArray("\x00\x01\x02\x03\xfe\xff", 6));
        sb.writeFile(QStringLiteral("folder/inside.txt"), "x");
        if (FILE* f = std::fopen(nonUtf8Path().constData(), "wb")) {
            std::fwrite(pdfHead.constData(), 1, size_t(pdfHead.size()), f);
            std::fclose(f);
        }
    }

private Q_SLOTS:
    void initTestCase() {
        QIcon::setThemeSearchPaths({sb.root() + QStringLiteral("/icons")});
        QIcon::setThemeName(QStringLiteral("marvoline-test"));
    }

    void cleanupTestCase() {
        // QTemporaryDir cannot remove a name that is not UTF-8.
        ::unlink(nonUtf8Path().constData());
    }

    void versions() {
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("versioned.desktop"))),
                 QStringLiteral("2.0.1"));
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("same-date.desktop"))),
                 QStringLiteral("3.10"));
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("org.example.Odd.desktop"))),
                 QStringLiteral("0.7"));
        QCOMPARE(registry.shortVersion(sb.appUrl(QStringLiteral("overridden.desktop"))),
                 QStringLiteral("0.9"));
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

    void applicationIcons() {
        const QIcon themed =
            registry.applicationIcon(sb.appUrl(QStringLiteral("icon-themed.desktop")));
        QCOMPARE(themed.name(), QStringLiteral("themed-app"));
        QCOMPARE(centreOf(themed), QColor(Qt::green).rgb());
        QCOMPARE(centreOf(registry.applicationIcon(sb.appUrl(QStringLiteral("icon-file.desktop")))),
                 QColor(Qt::blue).rgb());
        QCOMPARE(centreOf(registry.applicationIcon(sb.appUrl(QStringLiteral("icon-svg.desktop")))),
                 QColor(Qt::magenta).rgb());
        // Nothing resolves: the bundled generic application icon.
        const QImage generic =
            QIcon(QStringLiteral(":/icons/application.svg")).pixmap(32, 32).toImage();
        QVERIFY(!generic.isNull());
        for (const char* id : {"icon-missing.desktop", "icon-gone-file.desktop",
                               "unversioned.desktop", "missing.desktop"})
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
};

MARVOLINE_TEST_MAIN(TestAppMetadata)
#include "tst_appmetadata.moc"
