// End to end on a real X server with a window manager and a private session
// bus: the countdown runs out and opens the files with the default; a click on
// another application's tile opens them with that one at once.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "views/AppIconButton.h"

#include <QProcess>
#include <QRegularExpression>

using namespace marvoline;
using namespace marvoline::test;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QString editorId = QStringLiteral("org.example.Editor.desktop");

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

public:
    explicit EndToEndTest(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), {QStringLiteral("text/plain")});
        m_sandbox.addApp(editorId, QStringLiteral("Editor"), {QStringLiteral("text/plain")});
        m_sandbox.writeMimeinfoCache({{QStringLiteral("text/plain"), {viewerId, editorId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }

    void init() { m_sandbox.clearRecords(); }

    void countdownRunsOutAndOpensWithTheDefault() {
        const QUrl a = m_sandbox.writeFile(QStringLiteral("e2e/first file.txt"), "one\n");
        const QUrl b = m_sandbox.writeFile(QStringLiteral("e2e/second.txt"), "two\n");
        QProcess chooser;
        chooser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chooser.start(QStringLiteral(MARVOLINE_EXECUTABLE),
                      {QFile::decodeName(localPath(a)), QFile::decodeName(localPath(b))});
        QVERIFY(chooser.waitForStarted());

        // The window comes up, managed by the window manager.
        const QString window = findWindow(chooser.processId());
        QVERIFY2(!window.isEmpty(), "no chooser window appeared");
        QCOMPARE(xdotool({QStringLiteral("getwindowname"), window}).trimmed(),
                 QStringLiteral("first file.txt (2件)"));
        // Nothing opens while the countdown runs.
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());

        QVERIFY2(chooser.waitForFinished(20000), "the countdown did not end the chooser");
        QCOMPARE(chooser.exitStatus(), QProcess::NormalExit);
        QCOMPARE(chooser.exitCode(), 0);
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(viewerId).first(),
                 (QList<QByteArray>{localPath(a), localPath(b)}));
        QVERIFY(m_sandbox.recordedLaunches(editorId).isEmpty());
    }

    void clickOnAnotherTileOpensWithIt() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("e2e/click.txt"), "click\n");
        QProcess chooser;
        chooser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chooser.start(QStringLiteral(MARVOLINE_EXECUTABLE), {QFile::decodeName(localPath(file))});
        QVERIFY(chooser.waitForStarted());
        const QString window = findWindow(chooser.processId());
        QVERIFY(!window.isEmpty());

        // Lay out the same chooser here, through the same start-up path, to
        // learn where the editor's tile is in the window. Both windows widen
        // themselves to fit the options row once laid out: wait for that.
        QPoint target;
        {
            AppDelegate twin;
            twin.openUrls({file});
            MainViewController* vc = twin.mainViewController;
            QVERIFY(vc);
            vc->pauseTimer();
            QVERIFY(QTest::qWaitForWindowExposed(twin.window));
            QTRY_VERIFY(twin.window->width() >= twin.window->minimumWidth());
            QTRY_COMPARE_WITH_TIMEOUT(windowGeometry(window).size(), twin.window->size(), 4000);
            QCoreApplication::processEvents();
            const auto tiles = vc->appStackView->findChildren<AppIconButton*>(
                QString(), Qt::FindDirectChildrenOnly);
            QCOMPARE(tiles.size(), 2);
            QCOMPARE(tiles.at(1)->appURL->path(), m_sandbox.appUrl(editorId).path());
            target = tiles.at(1)->mapTo(twin.window, tiles.at(1)->rect().center());
        }
        // The twin's window is gone before the click.
        QTest::qWait(300);
        xdotool({QStringLiteral("windowraise"), window});

        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(target.x()), QString::number(target.y()), QStringLiteral("click"),
                 QStringLiteral("1")});
        QVERIFY2(chooser.waitForFinished(4000), "the click did not open the files at once");
        QCOMPARE(chooser.exitCode(), 0);
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(editorId).first(), QList<QByteArray>{localPath(file)});
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
    }

private:
    test::XdgSandbox& m_sandbox;
    WindowManager m_wm;
};

MARVOLINE_TEST_MAIN(EndToEndTest)
#include "tst_e2e_chooser.moc"
