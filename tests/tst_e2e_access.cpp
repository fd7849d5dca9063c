// The chooser program on a real X server and session bus, used from the keyboard alone, and
// read and pressed by an AT-SPI client in another process as a screen reader does.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "platform/FilePaths.h"

#include <QDir>

using namespace marvoline;
using namespace marvoline::test;
using namespace Qt::StringLiterals;

namespace {

const QString viewerId = u"org.example.Viewer.desktop"_s;
const QString editorId = u"org.example.Editor.desktop"_s;
const QString readerId = u"org.example.Reader.desktop"_s;

// What the AT-SPI client (support/atspi_probe.py) prints; empty when it fails.
QStringList probe(qint64 pid, const QStringList& extra = {}) {
    return runTool(QStringLiteral(ATSPI_PYTHON),
                   QStringList{QStringLiteral(ATSPI_PROBE), QString::number(pid)} + extra, 30000)
        .split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class AccessEndToEndTest : public QObject {
    Q_OBJECT

public:
    explicit AccessEndToEndTest(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        for (const QString& id : {viewerId, editorId, readerId})
            m_sandbox.addApp(id, id.section(u'.', 2, 2), {u"text/plain"_s});
        m_sandbox.writeMimeinfoCache({{u"text/plain"_s, {viewerId, editorId, readerId}}});
        m_sandbox.writeDefaults({{u"text/plain"_s, viewerId}});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
        m_files = {m_sandbox.writeFile(u"access/first file.txt"_s, "one\n"),
                   m_sandbox.writeFile(u"access/second.txt"_s, "two\n")};
        m_launch = {{localPath(m_files.at(0)), localPath(m_files.at(1))}};
    }
    void init() { m_sandbox.clearRecords(); }

    // The tiles are Viewer (the default, focused at start), Editor and Reader.
    void keysAloneChooseTheApplication_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("opened"); // empty: nothing
        const auto row = [](const char* keys, const QString& opened) {
            QTest::newRow(keys) << QString::fromLatin1(keys) << opened;
        };
        row("Tab Tab Return", readerId); // Tab reaches every tile
        row("Right Return", editorId);
        row("Escape", QString());
        row("Left space", viewerId);                 // stays on the first tile
        row("Right Right Right KP_Enter", readerId); // stays on the last tile
        row("End Left space", editorId);
        row("End Home Return", viewerId);
        row("Tab Tab Tab Tab Tab Escape", QString()); // from an option
    }
    void keysAloneChooseTheApplication() {
        QFETCH(QString, keys);
        QFETCH(QString, opened);
        ChooserProcess chooser(m_files);
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        xdotool({u"windowactivate"_s, u"--sync"_s, chooser.window});
        xdotool(QStringList{u"key"_s, u"--clearmodifiers"_s, u"--delay"_s, u"60"_s} +
                keys.split(u' '));
        QVERIFY(chooser.endsWell(3000)); // well before the countdown ends
        if (opened.isEmpty())
            QTest::qWait(500); // a launch would be recorded by now
        else
            QTRY_COMPARE(m_sandbox.recordedLaunches(opened), m_launch);
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(),
                 opened.isEmpty() ? 0 : 1);
    }

    void screenReaderReadsAndPressesTheTiles() {
        // Qt puts its widgets on the accessibility bus only when asked to (a
        // desktop asks when a screen reader is on).
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        ChooserProcess chooser(m_files);
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const qint64 pid = chooser.process.processId();
        QCOMPARE(probe(pid, {u"press"_s, u"Stop automatic opening"_s}), QStringList{u"pressed"_s});

        const QStringList controls = probe(pid); // "role<TAB>name"
        for (const QString& control :
             {u"push button\tOpen with Viewer"_s, u"push button\tOpen with Editor"_s})
            QVERIFY2(controls.contains(control), qPrintable(controls.join(u'|')));
        QVERIFY(!controls.filter(u"\tDrag the files to another application"_s).isEmpty());

        // Pressed, a tile opens all files with its application.
        QCOMPARE(probe(pid, {u"press"_s, u"Open with Editor"_s}), QStringList{u"pressed"_s});
        QVERIFY(chooser.endsWell(5000));
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId), m_launch);
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), 1);
    }

private:
    test::XdgSandbox& m_sandbox;
    WindowManager m_wm;
    QList<QUrl> m_files;
    QList<QList<QByteArray>> m_launch; // one, with all the files
};

MARVOLINE_TEST_MAIN(AccessEndToEndTest)
#include "tst_e2e_access.moc"
