// The registry over real GIO in a private XDG sandbox. Every file is written before the first GIO
// call, so GIO's file monitors only matter where a test says so.

#include "platform/FileIcons.h"
#include "platform/FilePaths.h"
#include "platform/RegistryReadScope.h"
#include "platform/gio/GioAppRegistry.h"
#include "support/RawFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <future>

using namespace marvoline;
using marvoline::test::ownId;

namespace {

const QByteArray pdfHead = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n";

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
        for (const QString app : {"c-editor:C Editor", "plain-b:beta", "plain-a:Alpha"})
            sb.addApp(app.section(u':', 0, 0) + ".desktop", app.section(u':', 1));
        sb.addApp("names.desktop", "Viewer", {}, {"X-GNOME-FullName=Image Viewer"});

        const QByteArray head = "[Desktop Entry]\nType=Application\n";
        const QByteArray recorder = QFile::encodeName(sb.recorderPath());
        const QByteArray exec = "Exec=" + recorder + " x %F\n";
        for (const auto& [id, text] : QList<QPair<const char*, QByteArray>>{
                 {"no-exec", head + "Name=No Exec\n"},
                 {"bad-utf8", head + "Name=Bad\xff\xfe\n" + exec},
                 {"bad-utf8-exec", head + "Name=Bad Exec\nExec=" + recorder + " \xff %F\n"},
                 {"no-name", head + exec},
                 {"hidden", head + "Name=Hidden\nHidden=true\n" + exec},
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

        // The sandbox desktop's own list wins over mimeapps.list for Python.
        raw.write(sb.configHome() + "/marvoline-test-mimeapps.list",
                  "[Default Applications]\ntext/x-python=plain-a.desktop;\n");
        // A user's hidden copy of the program's entry: it must stay as it is.
        raw.write(ownPath, head + "Name=Marvoline\nHidden=true\n" + exec);

        // Versions: found by <id> in a file named otherwise (in the user's appdata folder), or by
        // <launchable> in the second component of a collection.
        sb.addApp("same-date.desktop", "Same Date");
        sb.addMetainfo("same-date.desktop", {"3.9", "3.10", "3.2"});
        sb.addApp("org.example.Odd.desktop", "Odd");
        raw.write(sb.dataHome() + "/appdata/whatever.appdata.xml",
                  component("org.example.Odd", "<release version='0.9' timestamp='1600000000'/>"
                                               "<release version='0.7' date='2023-11-14'/>"));
        sb.addApp("launched.desktop", "Launched");
        raw.write(sb.dataDir() + "/metainfo/suite.metainfo.xml",
                  "<components>" + component("x", "<release version='1'/>") +
                      "<component><launchable type='desktop-id'>launched.desktop</launchable>"
                      "<releases><release version='4'/></releases></component></components>");
        // A development snapshot counts only when there is nothing else.
        const QByteArray snapshot = "<release version='2.0' type='development' date='2024-01-01'/>";
        for (const auto& [id, releases] : QList<QPair<QString, QByteArray>>{
                 {"dev-and-stable", snapshot + "<release version='1.0'/>"},
                 {"dev-only", snapshot}}) {
            sb.addApp(id + ".desktop", id);
            raw.write(sb.dataDir() + "/metainfo/" + id + ".metainfo.xml",
                      component(id.toUtf8(), releases));
        }
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
        raw.write(sb.root() + "/file-icon.svg", svg("#0000ff"));
        for (const QString icon :
             {"themed-app", "later-app", "no-such-icon-anywhere", "/file-icon.svg", "/gone.png"})
            sb.addApp("icon-" + QFileInfo(icon).fileName() + ".desktop", "I", {},
                      {"Icon=" + (icon.startsWith(u'/') ? sb.root() + icon : icon)});

        raw.write(nonUtf8Path(), pdfHead);

        // Three applications for Lua scripts, the first the default.
        for (const QString name : {"One", "Two", "Three"})
            sb.addApp("scope-" + name.toLower() + ".desktop", name, {"text/x-lua"});
        sb.writeDefaults({{"text/x-lua", "scope-one.desktop"}});
    }

private:
    test::XdgSandbox& sb;
    test::RawFiles raw;
    GioAppRegistry registry;
    const QString ownPath = sb.dataHome() + "/applications/" + ownId;

    QByteArray nonUtf8Path() const { return QFile::encodeName(sb.root() + "/files/") + "caf\xe9"; }

private Q_SLOTS:
    void malformedEntries_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("loadable");
        for (const char* id :
             {"no-exec", "bad-utf8", "bad-utf8-exec", "no-name", "hidden", "missing"})
            QTest::newRow(id) << sb.appUrl(QString::fromLatin1(id) + ".desktop") << false;
        QTest::newRow("empty URL") << QUrl() << false;
        QTest::newRow("NoDisplay") << sb.appUrl("no-display.desktop") << true;
        QTest::newRow("D-Bus, no Exec") << sb.appUrl("org.example.Bus.desktop") << true;
        QTest::newRow("Exec needing quotes") << sb.appUrl("quoted.desktop") << true;
    }

    void malformedEntries() {
        QFETCH(QUrl, url);
        QFETCH(bool, loadable);
        // In a read scope, asked twice: the same answers as read afresh.
        const auto answers = [&] {
            const std::optional<AppBundleInfo> info = registry.bundleInfo(url);
            return QStringList{registry.bundleIdentifier(url).value_or("-"),
                               info ? info->identifier : "-", info ? info->name.value_or("") : "-"};
        };
        const QStringList fresh = answers();
        {
            const RegistryReadScope scope;
            QCOMPARE(answers(), fresh);
            QCOMPARE(answers(), fresh);
        }
        QCOMPARE(registry.bundleIdentifier(url).has_value(), loadable);
        QCOMPARE(registry.applicationEntries({url}).value(0).has_value(), loadable);
        QVERIFY(!registry.applicationIcon(url).isNull());
        if (!loadable)
            QVERIFY(!registry.applicationForIdentifier(url.fileName()));
    }

    void applicationPicker() {
        QStringList names;
        for (const InstalledApp& a : registry.allApplications())
            names.append(a.name);
        // Sorted ignoring case, under the full name; hidden, NoDisplay and broken entries left out.
        const QRegularExpression ours("^(Alpha|beta|C Editor|Image Viewer|Hidden|No Display|"
                                      "No Exec|Marvoline)$");
        QCOMPARE(names.filter(ours), (QStringList{"Alpha", "beta", "C Editor", "Image Viewer"}));
    }

    void versions() {
        // Same dates: the highest version; else the latest date, whatever the version; broken
        // XML: none.
        QStringList versions;
        for (const char* id : {"same-date", "org.example.Odd", "launched", "dev-and-stable",
                               "dev-only", "unversioned", "broken-xml"})
            versions << registry.shortVersion(sb.appUrl(QString::fromLatin1(id) + ".desktop"))
                            .value_or("-");
        QCOMPARE(versions, (QStringList{"3.10", "0.7", "4", "1.0", "2.0", "-", "-"}));
    }

    void icons() {
        const auto appIcon = [this](const QString& name) {
            return registry.applicationIcon(sb.appUrl("icon-" + name + ".desktop"));
        };
        QCOMPARE(centreOf(appIcon("themed-app")), QColor(Qt::green));
        QCOMPARE(centreOf(appIcon("file-icon.svg")), QColor(Qt::blue));
        // Looked up when first drawn, at the size asked for in device pixels: an icon the theme
        // gains after the entry was read is the one drawn.
        const QIcon later = appIcon("later-app");
        QVERIFY(!later.isNull());
        raw.write(sb.root() + "/icons/marvoline-test/32/later-app.svg", svg("#ff0000"));
        const QPixmap sharp = later.pixmap(QSize(32, 32), 2.0);
        QCOMPARE(sharp.size(), QSize(64, 64));
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        QCOMPARE(centreOf(later), QColor(Qt::red));
        // Nothing resolves, or no entry: the bundled generic application icon.
        const QImage generic = QIcon(":/icons/application.svg").pixmap(32, 32).toImage();
        for (const char* id : {"icon-no-such-icon-anywhere.desktop", "icon-gone.png.desktop",
                               "unversioned.desktop", "missing.desktop"})
            QCOMPARE(registry.applicationIcon(sb.appUrl(id)).pixmap(32, 32).toImage(), generic);
    }

    void fileTypesAndIcons_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("type"); // empty: absent
        QTest::newRow("name not UTF-8") << fileUrlFromPath(nonUtf8Path()) << "application/pdf";
        QTest::newRow("folder") << QUrl::fromLocalFile(sb.root()) << "inode/directory";
        QTest::newRow("missing") << sb.fileUrl("missing.pdf") << "";
        QTest::newRow("empty URL") << QUrl() << "";
    }

    void fileTypesAndIcons() {
        QFETCH(QUrl, url);
        QFETCH(QString, type);
        QCOMPARE(registry.contentType(url).value_or(QString()), type);
        QVERIFY(!iconForFile(url).isNull());
    }

    void ownApplication() {
        // The user's hidden copy: not the program's entry, and never replaced.
        const QByteArray hiddenCopy = sb.readBytes(ownPath);
        QVERIFY(!registry.applicationForIdentifier(ownId));
        registry.registerOwnApplication();
        QCOMPARE(sb.readBytes(ownPath), hiddenCopy);
        QVERIFY(!registry.setOwnApplicationAsDefault("text/x-c++src"));
        QVERIFY(sb.gioDefault("text/x-c++src") != ownId);

        // Once it is gone the program installs its entry, running this executable.
        QVERIFY(QFile::remove(ownPath));
        registry.registerOwnApplication();
        const QByteArray written = sb.readBytes(ownPath);
        const QString program = QCoreApplication::applicationFilePath();
        const QByteArray exec =
            "\nExec=" + GioAppRegistry::desktopExecArgument(program).toUtf8() + " %F\n";
        QVERIFY2(written.contains(exec), written.constData());
        QTRY_COMPARE(registry.applicationForIdentifier(ownId).value_or(QUrl()).toLocalFile(),
                     ownPath);
        // The desktop's own list overrides the one GIO writes: not reported as done.
        QVERIFY(!registry.setOwnApplicationAsDefault("text/x-python"));
        QCOMPARE(sb.gioDefault("text/x-python"), "plain-a.desktop");
        QVERIFY(!registry.setOwnApplicationAsDefault(QString()));
    }

    // After ownApplication: the program's entry is installed.
    void readScope() {
        const QUrl script = sb.writeFile("run.lua", "print(1)\n");
        const QUrl one = sb.appUrl("scope-one.desktop");
        const QUrl two = sb.appUrl("scope-two.desktop");
        const auto defaultApp = [&] { return registry.defaultApplicationForFile(script); };
        const auto onOtherThread = [&] { return std::async(std::launch::async, defaultApp).get(); };
        const QString type = registry.contentType(script).value_or(QString());
        QCOMPARE(defaultApp(), one);
        {
            const RegistryReadScope outer;
            QCOMPARE(registry.bundleInfo(one).value_or(AppBundleInfo()).name, "One");
            {
                const RegistryReadScope inner;
                QCOMPARE(defaultApp(), one);
            }
            // Others change the default and the entry: GIO, asked on another thread, tells the
            // new default; this thread's scope answers from what it read.
            sb.writeDefaults({{"text/x-lua", "scope-two.desktop"}});
            sb.addApp("scope-one.desktop", "Uno", {"text/x-lua"});
            QTRY_COMPARE(onOtherThread(), two);
            QCOMPARE(defaultApp(), one);
            QCOMPARE(registry.bundleInfo(one).value_or(AppBundleInfo()).name, "One");
            QCOMPARE(registry.contentType(script).value_or(QString()), type);
            // The program's own change is read again at once.
            QVERIFY(registry.setOwnApplicationAsDefault(type));
            QCOMPARE(registry.bundleIdentifier(defaultApp().value_or(QUrl())), ownId);
            QCOMPARE(registry.bundleInfo(one).value_or(AppBundleInfo()).name, "Uno");
        }
        // The next scope reads afresh.
        sb.addApp("scope-one.desktop", "Eins", {"text/x-lua"});
        const RegistryReadScope next;
        QCOMPARE(registry.bundleInfo(one).value_or(AppBundleInfo()).name, "Eins");
    }

    // A scope keeps what the default's look-up and the list of entries read on the way: the
    // identifier of the default, the names and identifiers of the listed entries.
    void readScopeKeepsWhatListsRead() {
        const QUrl script = sb.writeFile("keep.lua", "print(2)\n");
        const QUrl two = sb.appUrl("scope-two.desktop");
        const QUrl three = sb.appUrl("scope-three.desktop");
        const auto onOtherThread = [](auto ask) {
            return std::async(std::launch::async, ask).get();
        };
        sb.writeDefaults({{"text/x-lua", "scope-three.desktop"}});
        QTRY_COMPARE(onOtherThread([&] { return registry.defaultApplicationForFile(script); }),
                     three);

        const RegistryReadScope scope;
        QCOMPARE(registry.defaultApplicationForFile(script), three);
        const QList<std::optional<AppEntry>> listed = registry.applicationEntries({two});
        QCOMPARE(listed.value(0).value_or(AppEntry()).info.name, "Two");
        // Others hide both entries: read again, neither would be there.
        for (const QString id : {"scope-two.desktop", "scope-three.desktop"})
            sb.addApp(id, "Gone", {"text/x-lua"}, {"Hidden=true"});
        QVERIFY(!onOtherThread([&] { return registry.bundleIdentifier(three); }));
        QVERIFY(!onOtherThread([&] { return registry.bundleInfo(two); }));
        QCOMPARE(registry.bundleIdentifier(three), "scope-three.desktop");
        QCOMPARE(registry.bundleIdentifier(two), "scope-two.desktop");
        QCOMPARE(registry.bundleInfo(two).value_or(AppBundleInfo()).name, "Two");
        // What the list did not read is read afresh.
        QVERIFY(!registry.bundleInfo(three));
    }
};

MARVOLINE_TEST_MAIN(TestRegistry)
#include "tst_registry.moc"
