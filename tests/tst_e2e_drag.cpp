// End to end on a real X server with a window manager: a drag from the
// chooser's "Drag Me" handle, made with the real pointer, drops the first ten
// files on show into a window of another program, as a copy, and leaves the
// files and the chooser window where they are.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "views/WindowDragHandleView.h"

#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>

using namespace marvoline;
using namespace marvoline::test;

namespace {

QPoint pointerPosition() {
    const QString shell = xdotool({QStringLiteral("getmouselocation"), QStringLiteral("--shell")});
    return QPoint(shellValue(shell, "X"), shellValue(shell, "Y"));
}

void movePointer(QPoint p) {
    xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
}

} // namespace

class DragEndToEndTest : public QObject {
    Q_OBJECT

public:
    // No application knows the files' type: the chooser's countdown then ends
    // the program without opening anything.
    explicit DragEndToEndTest(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }

    void dragFromTheHandleDropsTheFirstTenFilesAsACopy() {
        // Twelve files; the second has a space in its name.
        QList<QUrl> files;
        for (int i = 1; i <= 12; ++i) {
            const QString name = i == 2
                                     ? QStringLiteral("drag/second file.txt")
                                     : QStringLiteral("drag/file%1.txt").arg(i, 2, 10, QChar(u'0'));
            files.append(m_sandbox.writeFile(name, QByteArray::number(i) + '\n'));
        }
        QStringList paths;
        for (const QUrl& file : files)
            paths.append(QFile::decodeName(localPath(file)));

        // The other program, left of where the chooser comes up (centred).
        const QString dropRecord = m_sandbox.root() + QStringLiteral("/dropped.txt");
        QProcess target;
        target.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        target.start(QStringLiteral(DROP_TARGET_EXECUTABLE),
                     {dropRecord, QStringLiteral("30"), QStringLiteral("200")});
        QVERIFY(target.waitForStarted());
        const QString targetWindow = findWindow(target.processId());
        QVERIFY2(!targetWindow.isEmpty(), "no drop target window appeared");
        QTRY_VERIFY(windowGeometry(targetWindow).width() == 300);

        QProcess chooser;
        chooser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chooser.start(QStringLiteral(MARVOLINE_EXECUTABLE), paths);
        QVERIFY(chooser.waitForStarted());
        const QString window = findWindow(chooser.processId());
        QVERIFY2(!window.isEmpty(), "no chooser window appeared");
        // Lay out the same chooser here, through the same start-up path, to
        // learn where the handle is in the window. Both windows widen
        // themselves to fit the options row once laid out: wait for that.
        QPoint handleCenter;
        QRect before;
        {
            AppDelegate twin;
            twin.openUrls(files);
            MainViewController* vc = twin.mainViewController;
            QVERIFY(vc);
            vc->pauseTimer();
            QVERIFY(QTest::qWaitForWindowExposed(twin.window));
            QTRY_VERIFY(twin.window->width() >= twin.window->minimumWidth());
            QTRY_COMPARE_WITH_TIMEOUT(windowGeometry(window).size(), twin.window->size(), 4000);
            before = windowGeometry(window);
            QCoreApplication::processEvents();
            QVERIFY(vc->dragHandle && vc->dragHandle->isVisible());
            handleCenter = vc->dragHandle->mapTo(twin.window, vc->dragHandle->rect().center());
        }
        QTest::qWait(200);
        const QRect dropArea = windowGeometry(targetWindow);
        QVERIFY2(!before.intersects(dropArea), "the chooser covers the drop target");

        // The countdown (five seconds, no application to open with) must not
        // have ended the chooser yet.
        QCOMPARE(chooser.state(), QProcess::Running);
        xdotool({QStringLiteral("windowraise"), window});
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(handleCenter.x()), QString::number(handleCenter.y())});
        const QPoint start = pointerPosition();
        const QPoint end = dropArea.center();
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        // Past the drag distance, still on the handle: the drag starts.
        movePointer(start + QPoint(-12, 0));
        constexpr int steps = 8;
        for (int i = 1; i <= steps; ++i) {
            movePointer(start + (end - start) * i / steps);
            QTest::qWait(30);
        }
        // Release only once the target has taken the drag at two places: it
        // answered the first before the second reached it, so the chooser
        // knows the drop is wanted when the button comes up.
        QByteArray targetSays;
        const auto targetWasOver = [&](QPoint p) {
            targetSays += target.readAllStandardOutput();
            return targetSays.contains(
                QStringLiteral("over %1 %2\n").arg(p.x()).arg(p.y()).toLatin1());
        };
        QTRY_VERIFY2(targetWasOver(end), targetSays.constData());
        movePointer(end + QPoint(6, 6));
        QTRY_VERIFY2(targetWasOver(end + QPoint(6, 6)), targetSays.constData());
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});

        QVERIFY2(target.waitForFinished(10000), "nothing was dropped on the target");
        QCOMPARE(target.exitStatus(), QProcess::NormalExit);
        QCOMPARE(target.exitCode(), 0);
        QFile record(dropRecord);
        QVERIFY(record.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = record.readAll().split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());

        // Offered as a copy only, and dropped as one.
        QCOMPARE(lines.value(0), QByteArray("action copy"));
        QCOMPARE(lines.value(1), QByteArray("possible copy"));
        // Exactly the first ten files, in their order, byte for byte.
        QList<QByteArray> expected;
        for (const QUrl& file : files.mid(0, 10))
            expected.append(file.toEncoded());
        QVERIFY(expected.at(1).endsWith("/drag/second%20file.txt"));
        QCOMPARE(lines.mid(2), expected);

        // The files stay where they are.
        for (int i = 0; i < files.size(); ++i) {
            QFile file(QFile::decodeName(localPath(files.at(i))));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            QCOMPARE(file.readAll(), QByteArray::number(i + 1) + '\n');
        }

        // The drag did not move the window.
        QCOMPARE(chooser.state(), QProcess::Running);
        QCOMPARE(windowGeometry(window), before);

        // The chooser carries on: its countdown ends it as usual.
        QVERIFY2(chooser.waitForFinished(20000), "the chooser did not end after the drag");
        QCOMPARE(chooser.exitStatus(), QProcess::NormalExit);
        QCOMPARE(chooser.exitCode(), 0);
    }

private:
    test::XdgSandbox& m_sandbox;
    test::WindowManager m_wm;
};

MARVOLINE_TEST_MAIN(DragEndToEndTest)
#include "tst_e2e_drag.moc"
