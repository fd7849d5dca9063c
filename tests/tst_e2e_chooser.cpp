// End to end on a real X server with a window manager and a private session
// bus: the countdown runs out and opens the files with the default; a click on
// another application's tile opens them with that one at once; a second
// launch brings the chooser back to the front. The countdown also runs with the
// chooser as a native client of a headless Wayland compositor
// (support/with-weston.sh).
#include "support/Chooser.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "platform/FilePaths.h"

#include <QGuiApplication>
#include <QRegularExpression>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

const QString viewerId = u"org.example.Viewer.desktop"_s;
const QString editorId = u"org.example.Editor.desktop"_s;

} // namespace

class TestEndToEnd final : public QObject {
    Q_OBJECT

public:
    explicit TestEndToEnd(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(viewerId, u"Viewer"_s, {u"text/plain"_s});
        m_sandbox.addApp(editorId, u"Editor"_s, {u"text/plain"_s});
        m_sandbox.writeMimeinfoCache({{u"text/plain"_s, {viewerId, editorId}}});
        m_sandbox.writeDefaults({{u"text/plain"_s, viewerId}});
    }

private:
    XdgSandbox& m_sandbox;
    WindowManager m_wm;

    // Only the one application opened the files, once, each as one argument.
    void openedOnlyWith(const QString& id, const QList<QUrl>& files) {
        QList<QByteArray> paths;
        for (const QUrl& file : files)
            paths.append(localPath(file));
        QTRY_COMPARE(m_sandbox.recordedLaunches(id), QList<QList<QByteArray>>{paths});
        QCOMPARE(m_sandbox.recordedLaunches(id == viewerId ? editorId : viewerId).size(), 0);
    }

private Q_SLOTS:
    void initTestCase() {
        if (onWayland())
            return;
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }
    void init() { m_sandbox.clearRecords(); }

    void countdownRunsOutAndOpensWithTheDefault() {
        const QList<QUrl> files{m_sandbox.writeFile(u"e2e/first file.txt"_s, "one\n"),
                                m_sandbox.writeFile(u"e2e/second.txt"_s, "two\n")};
        if (onWayland()) {
            countdownOnWayland(files);
            return;
        }
        ChooserProcess chooser(files);
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        QCOMPARE(xdotool({u"getwindowname"_s, chooser.window}).trimmed(),
                 u"first file.txt (2件)"_s);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty()); // not while counting down
        QVERIFY2(chooser.endsWell(20000), "the countdown did not end the chooser");
        openedOnlyWith(viewerId, files);
    }

    void clickOnAnotherTileOpensWithIt() {
        if (onWayland())
            QSKIP("the click is driven by xdotool, which needs X11");
        const QList<QUrl> files{m_sandbox.writeFile(u"e2e/click.txt"_s, "click\n")};
        ChooserProcess chooser(files);
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const std::optional<QPoint> editorTile = chooser.locate([this](MainViewController& vc) {
            const QList<AppIconButton*> row = tiles(vc);
            return row.size() == 2 && row.at(1)->appURL->path() == m_sandbox.appUrl(editorId).path()
                       ? row.at(1)
                       : nullptr;
        });
        QVERIFY(editorTile);
        chooser.click(*editorTile);
        QVERIFY2(chooser.endsWell(4000), "the click did not open the files at once");
        openedOnlyWith(editorId, files);
    }

    // A second launch hands its files over with its launcher's startup ID; the
    // running chooser shows them, takes up the ID and comes back to the front.
    void secondLaunchRaisesTheChooser() {
        if (onWayland())
            QSKIP("weston's headless shell offers no activation to observe");
        ChooserProcess chooser({m_sandbox.writeFile(u"e2e/raise one.txt"_s, "1\n")});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const QUrl second = m_sandbox.writeFile(u"e2e/raise two.txt"_s, "2\n");

        // The user puts the chooser away. The chooser's own activation at start can reach the
        // window manager only after the window is mapped, and brings it back: asked again until
        // it stays iconic and inactive.
        QTRY_COMPARE(xdotool({u"getactivewindow"_s}).trimmed(), chooser.window);
        const auto iconic = [&] {
            return runTool(u"xprop"_s, {u"-id"_s, chooser.window, u"WM_STATE"_s})
                .contains(u"Iconic"_s);
        };
        const auto putAway = [&] {
            return iconic() && xdotool({u"getactivewindow"_s}).trimmed() != chooser.window;
        };
        QVERIFY(QTest::qWaitFor(
            [&] {
                xdotool({u"windowminimize"_s, chooser.window});
                return QTest::qWaitFor(putAway, 1000) &&
                       !QTest::qWaitFor([&] { return !putAway(); }, 500);
            },
            15000));

        const QString startupId = u"marvoline-test-%1"_s.arg(QCoreApplication::applicationPid());
        QProcess launch;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DESKTOP_STARTUP_ID"_s, startupId);
        launch.setProcessEnvironment(env);
        launch.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        launch.start(QStringLiteral(MARVOLINE_EXECUTABLE), {QFile::decodeName(localPath(second))});
        QVERIFY(launch.waitForFinished(10000));
        QCOMPARE(launch.exitCode(), 0);

        QTRY_COMPARE(xdotool({u"getwindowname"_s, chooser.window}).trimmed(), u"raise two.txt"_s);
        QTRY_COMPARE(xdotool({u"getactivewindow"_s}).trimmed(), chooser.window);
        QVERIFY(!iconic());
        QCOMPARE(runTool(u"xprop"_s, {u"-id"_s, chooser.window, u"_NET_STARTUP_ID"_s}).trimmed(),
                 u"_NET_STARTUP_ID(UTF8_STRING) = \"%1\""_s.arg(startupId));
    }

private:
    static bool onWayland() { return QGuiApplication::platformName() == "wayland"_L1; }

    // The chooser as a Wayland client: what it asked of the compositor, from
    // the client's side of the protocol.
    void countdownOnWayland(const QList<QUrl>& files) {
        QProcess chooser;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"WAYLAND_DEBUG"_s, u"client"_s);
        chooser.setProcessEnvironment(env);
        QStringList paths;
        for (const QUrl& file : files)
            paths.append(QFile::decodeName(localPath(file)));
        chooser.start(QStringLiteral(MARVOLINE_EXECUTABLE), paths);
        QVERIFY(chooser.waitForStarted());
        // A toplevel with the title, configured by the compositor, and a buffer
        // with its picture committed.
        QString wayland;
        QTRY_VERIFY_WITH_TIMEOUT((wayland += QString::fromUtf8(chooser.readAllStandardError()))
                                     .contains(u".set_title(\"first file.txt (2件)\")"_s),
                                 10000);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty()); // not while counting down
        QVERIFY2(chooser.waitForFinished(20000), "the countdown did not end the chooser");
        QCOMPARE(chooser.exitStatus(), QProcess::NormalExit);
        QCOMPARE(chooser.exitCode(), 0);
        wayland += QString::fromUtf8(chooser.readAllStandardError());
        for (const char* request :
             {"xdg_wm_base@", "xdg_surface@\\d+\\.configure\\(",
              "wl_surface@\\d+\\.attach\\(wl_buffer@", "wl_surface@\\d+\\.commit\\("})
            QVERIFY2(wayland.contains(QRegularExpression(QLatin1String(request))), request);
        openedOnlyWith(viewerId, files);
    }
};

MARVOLINE_TEST_MAIN(TestEndToEnd)
#include "tst_e2e_chooser.moc"
