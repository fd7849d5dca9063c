// End to end from the keyboard alone, on a real X server with a window manager
// and a private session bus: Tab, the arrow keys, Space and Enter choose the
// application that opens all the files; Escape leaves without opening any.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "platform/FilePaths.h"

#include <QFile>
#include <QProcess>

using namespace marvoline;
using namespace marvoline::test;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QString editorId = QStringLiteral("org.example.Editor.desktop");
const QString readerId = QStringLiteral("org.example.Reader.desktop");

} // namespace

class KeyboardEndToEndTest : public QObject {
    Q_OBJECT

public:
    explicit KeyboardEndToEndTest(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        const QStringList text{QStringLiteral("text/plain")};
        m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), text);
        m_sandbox.addApp(editorId, QStringLiteral("Editor"), text);
        m_sandbox.addApp(readerId, QStringLiteral("Reader"), text);
        m_sandbox.writeMimeinfoCache(
            {{QStringLiteral("text/plain"), {viewerId, editorId, readerId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
        m_files = {m_sandbox.writeFile(QStringLiteral("keys/first file.txt"), "one\n"),
                   m_sandbox.writeFile(QStringLiteral("keys/second.txt"), "two\n")};
    }

    void init() { m_sandbox.clearRecords(); }

    void keysChooseTheApplication_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("expected");
        // The tiles are Viewer (the default, focused at start), Editor, Reader.
        QTest::newRow("Enter on the default tile") << QStringList{"Return"} << viewerId;
        QTest::newRow("Tab reaches the second tile") << QStringList{"Tab", "Return"} << editorId;
        QTest::newRow("Tab twice reaches the third tile")
            << QStringList{"Tab", "Tab", "Return"} << readerId;
        QTest::newRow("Right, then Enter") << QStringList{"Right", "Return"} << editorId;
        QTest::newRow("End, then Space") << QStringList{"End", "space"} << readerId;
        QTest::newRow("Right past the last tile stays there")
            << QStringList{"Right", "Right", "Right", "Return"} << readerId;
        QTest::newRow("Home after End") << QStringList{"End", "Home", "Return"} << viewerId;
        QTest::newRow("Shift+Tab back from the second tile")
            << QStringList{"Tab", "shift+Tab", "Return"} << viewerId;
    }
    void keysChooseTheApplication() {
        QFETCH(QStringList, keys);
        QFETCH(QString, expected);
        QProcess chooser;
        QVERIFY(startChooser(chooser));
        pressKeys(keys);

        QVERIFY2(chooser.waitForFinished(4000), "the keys did not open the files");
        QCOMPARE(chooser.exitStatus(), QProcess::NormalExit);
        QCOMPARE(chooser.exitCode(), 0);
        QTRY_COMPARE(m_sandbox.recordedLaunches(expected).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(expected).first(),
                 (QList<QByteArray>{localPath(m_files.at(0)), localPath(m_files.at(1))}));
        for (const QString& id : {viewerId, editorId, readerId}) {
            if (id != expected)
                QVERIFY2(m_sandbox.recordedLaunches(id).isEmpty(), qPrintable(id));
        }
    }

    void escapeLeavesWithoutOpening_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("from the default tile") << QStringList{"Escape"};
        // Past the tiles and the trailing button, onto the stop button and options.
        QTest::newRow("from an option") << QStringList{"Tab", "Tab", "Tab", "Tab", "Tab", "Escape"};
    }
    void escapeLeavesWithoutOpening() {
        QFETCH(QStringList, keys);
        QProcess chooser;
        QVERIFY(startChooser(chooser));
        pressKeys(keys);

        // Well before the countdown could have ended.
        QVERIFY2(chooser.waitForFinished(3000), "Escape did not close the chooser");
        QCOMPARE(chooser.exitStatus(), QProcess::NormalExit);
        QCOMPARE(chooser.exitCode(), 0);
        // Give a launch that should not have happened the time to show up.
        QTest::qWait(500);
        for (const QString& id : {viewerId, editorId, readerId})
            QVERIFY2(m_sandbox.recordedLaunches(id).isEmpty(), qPrintable(id));
    }

private:
    bool startChooser(QProcess& chooser) {
        chooser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chooser.start(QStringLiteral(MARVOLINE_EXECUTABLE),
                      {QFile::decodeName(localPath(m_files.at(0))),
                       QFile::decodeName(localPath(m_files.at(1)))});
        if (!chooser.waitForStarted())
            return false;
        const QString window = findWindow(chooser.processId());
        if (window.isEmpty())
            return false;
        // The keys go to the window that has the input focus.
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        return true;
    }

    static void pressKeys(const QStringList& keys) {
        QStringList args{QStringLiteral("key"), QStringLiteral("--clearmodifiers"),
                         QStringLiteral("--delay"), QStringLiteral("60")};
        xdotool(args + keys);
    }

    test::XdgSandbox& m_sandbox;
    WindowManager m_wm;
    QList<QUrl> m_files;
};

MARVOLINE_TEST_MAIN(KeyboardEndToEndTest)
#include "tst_e2e_keyboard.moc"
