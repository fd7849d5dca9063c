// The registry over real GIO in a private XDG sandbox: which applications open
// a file and in which order, the default, what an entry declares, content
// types, and the program's own entry. Every scenario has its own content type
// and every file is written before the first GIO call, so GIO's directory
// monitors play no part except where the test is about them.

#include "platform/FilePaths.h"
#include "platform/gio/GioAppRegistry.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
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
        sb.addRawDesktopFile(QStringLiteral("garbage.desktop"), "not a key file \xff\n");
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
