// End to end on a real X server with a window manager and a private session
// bus: the countdown runs out and opens the files with the default; a click on
// another application's tile opens them with that one at once.
#include "support/Chooser.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "platform/FilePaths.h"

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
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }
    void init() { m_sandbox.clearRecords(); }

    void countdownRunsOutAndOpensWithTheDefault() {
        const QList<QUrl> files{m_sandbox.writeFile(u"e2e/first file.txt"_s, "one\n"),
                                m_sandbox.writeFile(u"e2e/second.txt"_s, "two\n")};
        ChooserProcess chooser(files);
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        QCOMPARE(xdotool({u"getwindowname"_s, chooser.window}).trimmed(),
                 u"first file.txt (2件)"_s);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty()); // not while counting down
        QVERIFY2(chooser.endsWell(20000), "the countdown did not end the chooser");
        openedOnlyWith(viewerId, files);
    }

    void clickOnAnotherTileOpensWithIt() {
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
};

MARVOLINE_TEST_MAIN(TestEndToEnd)
#include "tst_e2e_chooser.moc"
