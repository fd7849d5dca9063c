// End to end on a real X server with a window manager and a private session
// bus: the window appears once, whole and on the screen, at any scale, and a
// PDF's page follows its first frame; a second launch hands its files over and
// brings the chooser back to the front, and the countdown runs out and opens
// them with the default. The first frame, the page and the countdown also run
// with the chooser as a native client of a headless Wayland compositor
// (support/with-weston.sh). A file that is hostile to preview changes none of
// it: the countdown ends on time and a click is answered at once.
#include "support/Chooser.h"
#include "support/HostileFiles.h"
#include "support/Responsiveness.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "main/AppDelegate.h"
#include "platform/FilePaths.h"
#include "views/PdfPreviewView.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

class TestEndToEnd final : public QObject {
    Q_OBJECT

public:
    explicit TestEndToEnd(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        const QStringList types{u"text/plain"_s, u"application/pdf"_s, u"image/png"_s,
                                u"image/gif"_s};
        m_sandbox.addApp(viewerId, u"Viewer"_s, types);
        m_sandbox.addApp(editorId, u"Editor"_s, types);
        QMap<QString, QStringList> cache;
        QMap<QString, QString> defaults;
        for (const QString& type : types) {
            cache.insert(type, {viewerId, editorId});
            defaults.insert(type, viewerId);
        }
        m_sandbox.writeMimeinfoCache(cache);
        m_sandbox.writeDefaults(defaults);
    }

private:
    XdgSandbox& m_sandbox;
    WindowManager m_wm;

    static bool onWayland() { return QGuiApplication::platformName() == "wayland"_L1; }

    // The chooser window's geometry when it is first painted.
    class FirstFrame final : public QObject {
    public:
        std::optional<QRect> inside;
        std::optional<QRect> frame;

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (!inside && event->type() == QEvent::Paint &&
                watched->objectName() == "chooserWindow"_L1) {
                const auto* window = static_cast<QWidget*>(watched);
                inside = window->geometry();
                frame = window->frameGeometry();
            }
            return false;
        }
    };

    // Where the window's frame is on the screen, from the window manager's side.
    static QRect frameOf(const QString& window) {
        const QRect inside = windowGeometry(window);
        const QStringList extents = runTool(u"xprop"_s, {u"-id"_s, window, u"_NET_FRAME_EXTENTS"_s})
                                        .section(u'=', 1)
                                        .split(u',', Qt::SkipEmptyParts);
        if (extents.size() != 4 || inside.width() < 0)
            return {};
        return inside.marginsAdded(
            QMargins(extents.at(0).trimmed().toInt(), extents.at(2).trimmed().toInt(),
                     extents.at(1).trimmed().toInt(), extents.at(3).trimmed().toInt()));
    }

    // Only the default opened the files, once, each as one argument.
    void openedOnlyByTheDefault(const QList<QUrl>& files) {
        QList<QByteArray> paths;
        for (const QUrl& file : files)
            paths.append(localPath(file));
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId), QList<QList<QByteArray>>{paths});
        QCOMPARE(m_sandbox.recordedLaunches(editorId).size(), 0);
    }

private Q_SLOTS:
    void initTestCase() {
        if (!onWayland())
            QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }
    void init() { m_sandbox.clearRecords(); }

    // The first frame shows the chooser as it stays: filled, as large and (where the window
    // system lets a program place its windows) where it settles, within the screen.
    void firstFrameIsTheSettledWindow() {
        const QUrl file = m_sandbox.writeFile(u"e2e/first frame.txt"_s, "frame\n");
        FirstFrame first;
        qApp->installEventFilter(&first);
        AppDelegate delegate;
        delegate.openUrls({file});
        QWidget* window = delegate.window;
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(window && vc);
        vc->pauseTimer(); // nothing opens while the test looks
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_VERIFY(first.inside.has_value());
        qApp->removeEventFilter(&first);
        // Settled: the window manager has placed it and it has been quiet since.
        QVERIFY(ChooserWindow::waitUntilSettled(*vc));
        qInfo() << "first frame" << *first.inside << "settled" << window->geometry();

        QCOMPARE(first.inside->size(), window->size());
        QVERIFY(vc->setDefaultButton->isVisible());
        QCOMPARE(vc->setDefaultButton->width(), vc->setDefaultButton->sizeHint().width());
        QCOMPARE(tiles(*vc).size(), 2);
        if (onWayland())
            return; // where the window goes is the compositor's
        // Qt may paint the first frame before it has read where the window manager put the
        // inside of the frame it asked for: then it still holds the frame's own corner.
        QVERIFY2(first.inside->topLeft() == window->geometry().topLeft() ||
                     first.inside->topLeft() == window->frameGeometry().topLeft(),
                 qPrintable(QDebug::toString(window->frameGeometry())));
        const QRect available = window->screen()->availableGeometry();
        QVERIFY2(available.contains(window->frameGeometry()),
                 qPrintable(
                     u"frame %1 off the screen"_s.arg(QDebug::toString(window->frameGeometry()))));
        // Centred, give or take the decoration that nobody knows before the first showing.
        const QPoint offCentre = window->frameGeometry().center() - available.center();
        QVERIFY2(std::abs(offCentre.x()) <= 2 && std::abs(offCentre.y()) <= 24,
                 qPrintable(QDebug::toString(offCentre)));
    }

    // A PDF's page is begun after the window's first frame, not before nor with it, and
    // follows it on X11 and on Wayland, where the compositor calls for the next frame.
    void pdfPageFollowsTheFirstFrame() {
        const QUrl file = m_sandbox.writeFile(u"e2e/paper.pdf"_s, blankPdf(2));
        struct AtFirstPaint final : QObject {
            std::optional<bool> pageBegun;
            bool eventFilter(QObject* watched, QEvent* event) override {
                const auto* pdf = qobject_cast<PdfPreviewView*>(watched);
                if (pdf && !pageBegun && event->type() == QEvent::Paint)
                    pageBegun = pdf->state() != PdfPreviewView::State::Pending ||
                                pdf->findChild<DeadlineTask*>() != nullptr;
                return false;
            }
        } first;
        qApp->installEventFilter(&first);
        AppDelegate delegate;
        delegate.openUrls({file});
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(vc);
        vc->pauseTimer();
        QTRY_VERIFY(first.pageBegun.has_value());
        qApp->removeEventFilter(&first);
        QVERIFY(!*first.pageBegun);
        const auto* pdf = vc->findChild<PdfPreviewView*>();
        QVERIFY(pdf);
        QTRY_COMPARE(pdf->state(), PdfPreviewView::State::Page);
        QCOMPARE(pdf->pageCount(), 2);
    }

    // At any scale the window lies inside the screen, from its first mapping to its end, and
    // keeps the size it was first mapped with.
    void onTheScreenAtEveryScale_data() {
        QTest::addColumn<QString>("scale");
        QTest::newRow("1x") << u"1"_s;
        QTest::newRow("2x") << u"2"_s;
    }
    void onTheScreenAtEveryScale() {
        if (onWayland())
            QSKIP("a Wayland client does not see where its window is");
        QFETCH(QString, scale);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_SCALE_FACTOR"_s, scale);
        ChooserProcess chooser(QStringLiteral(MARVOLINE_EXECUTABLE),
                               {m_sandbox.writeFile(u"e2e/scale %1.txt"_s.arg(scale), "x\n")}, env);
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const QRect screen = QGuiApplication::primaryScreen()->geometry(); // this process: 1x
        QList<QRect> frames;
        // Every geometry the window has until the countdown ends the chooser.
        while (!chooser.process.waitForFinished(50)) {
            const QRect frame = frameOf(chooser.window);
            if (frame.isValid() && (frames.isEmpty() || frames.last() != frame))
                frames.append(frame);
        }
        QCOMPARE(chooser.process.exitCode(), 0);
        qInfo() << "frames at" << scale << "x:" << frames;
        QVERIFY(!frames.isEmpty());
        for (const QRect& frame : std::as_const(frames))
            QVERIFY2(screen.contains(frame), qPrintable(QDebug::toString(frame)));
        QCOMPARE(frames.last(), frames.first());
        // The countdown opened the file; its record is in before the next case starts.
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId).size(), 1);
    }

    // The countdown runs out and opens the files with the default. On X11 a
    // second launch hands its files over first, as a terminal user types them
    // (a path relative to its working folder and a file URI), with its
    // launcher's startup ID: the running chooser shows them instead of its own,
    // takes up the ID and comes back to the front.
    void countdownRunsOutAndOpensWithTheDefault() {
        if (onWayland()) {
            countdownOnWayland({m_sandbox.writeFile(u"e2e/first file.txt"_s, "one\n"),
                                m_sandbox.writeFile(u"e2e/second.txt"_s, "two\n")});
            return;
        }
        ChooserProcess chooser({m_sandbox.writeFile(u"e2e/raise one.txt"_s, "1\n")});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const QList<QUrl> second{m_sandbox.writeFile(u"e2e/raise two.txt"_s, "2\n"),
                                 m_sandbox.writeFile(u"e2e/caf\u00e9 3.txt"_s, "3\n")};

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
        launch.setWorkingDirectory(m_sandbox.root() + u"/files/e2e"_s);
        launch.start(QStringLiteral(MARVOLINE_EXECUTABLE),
                     {u"raise two.txt"_s, QString::fromLatin1(second.at(1).toEncoded())});
        QVERIFY(launch.waitForFinished(10000));
        QCOMPARE(launch.exitCode(), 0);

        QTRY_COMPARE(xdotool({u"getwindowname"_s, chooser.window}).trimmed(),
                     u"raise two.txt (2件)"_s);
        QTRY_COMPARE(xdotool({u"getactivewindow"_s}).trimmed(), chooser.window);
        QVERIFY(!iconic());
        QCOMPARE(runTool(u"xprop"_s, {u"-id"_s, chooser.window, u"_NET_STARTUP_ID"_s}).trimmed(),
                 u"_NET_STARTUP_ID(UTF8_STRING) = \"%1\""_s.arg(startupId));
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty()); // not while counting down
        QVERIFY2(chooser.endsWell(30000), "the countdown did not end the chooser");
        openedOnlyByTheDefault(second);
    }

    // Each file keeps a decoder busy for good or for seconds.
    void hostileFileKeepsTheChooserAnswering_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("self-referencing PDF") << u"loop.pdf"_s << selfReferencingPdf();
        QTest::newRow("30000² PNG") << u"huge.png"_s << hugePng(30000);
        QTest::newRow("animated 3000² GIF") << u"big.gif"_s << animatedGif({3000, 3000}, 120, 5);
    }
    void hostileFileKeepsTheChooserAnswering() {
        if (onWayland())
            QSKIP("the button is found and clicked on X11");
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QUrl file = m_sandbox.writeFile(u"hostile/"_s + name, bytes);
        const QString late = countdownEndsOnTime(file, 1500);
        QVERIFY2(late.isEmpty(), qPrintable(late));
        openedOnlyByTheDefault({file});

        m_sandbox.clearRecords();
        const QString slow = clickIsAnsweredInTime(file, u"Editor"_s, 1000);
        QVERIFY2(slow.isEmpty(), qPrintable(slow));
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId),
                     QList<QList<QByteArray>>{{localPath(file)}});
    }

private:
    // The chooser as a Wayland client: what it asked of the compositor, from
    // the client's side of the protocol.
    void countdownOnWayland(const QList<QUrl>& files) {
        QProcess chooser;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"WAYLAND_DEBUG"_s, u"client"_s);
        chooser.setProcessEnvironment(env);
        chooser.start(QStringLiteral(MARVOLINE_EXECUTABLE),
                      {files.at(0).toLocalFile(), files.at(1).toLocalFile()});
        // A toplevel with the title, and a buffer with its picture.
        QString wayland;
        QTRY_VERIFY_WITH_TIMEOUT((wayland += QString::fromUtf8(chooser.readAllStandardError()))
                                     .contains(u".set_title(\"first file.txt (2件)\")"_s),
                                 10000);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty()); // not while counting down
        QVERIFY2(chooser.waitForFinished(20000), "the countdown did not end the chooser");
        QCOMPARE(chooser.exitCode(), 0);
        wayland += QString::fromUtf8(chooser.readAllStandardError());
        QVERIFY(wayland.contains(QRegularExpression(u"wl_surface@\\d+\\.attach\\(wl_buffer@"_s)));
        openedOnlyByTheDefault(files);
    }
};

// The chooser laid out here to find its buttons leaves its PDF decoder running.
MARVOLINE_TEST_MAIN_LEAVING_THREADS(TestEndToEnd)
#include "tst_e2e_chooser.moc"
