// Opening the files for real: a desktop entry whose Exec records its arguments
// receives them, the use is counted first, the default switch is made before
// the launch, a failed launch keeps the chooser, and nothing opens twice.
#include "support/Chooser.h"
#include "support/RawFiles.h"
#include "support/TestMain.h"

#include "platform/FilePaths.h"
#include "platform/PreferencesStore.h"

#include <QCheckBox>
#include <QDir>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

const QString viewerId = u"org.example.Viewer.desktop"_s;
const QString editorId = u"org.example.Editor.desktop"_s;

// The uses counted so far, once the counts asked for are written.
qint64 usesOf(const QUrl& app) {
    PreferencesStore::waitForBackgroundWrites(std::chrono::seconds(30));
    return PreferencesStore::standard()
        .value(MainViewController::appUsageKey)
        .toObject()
        .value(app.path())
        .toInteger();
}

} // namespace

class TestOpening final : public QObject {
    Q_OBJECT

public:
    explicit TestOpening(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        // Markdown files: the viewer is the default, the editor also opens them.
        m_sandbox.addApp(viewerId, u"Viewer"_s, {u"text/markdown"_s});
        m_sandbox.addApp(editorId, u"Editor"_s, {u"text/markdown"_s});
        // An entry whose program disappears after the registry has read it.
        QFile::copy(m_sandbox.recorderPath(), m_brokenProgram);
        m_broken = m_sandbox.addRawDesktopFile(
            u"org.example.Broken.desktop"_s,
            "[Desktop Entry]\nType=Application\nName=Broken\nMimeType=text/x-tex;\nExec=" +
                QFile::encodeName(m_brokenProgram) + " %F\n");
        m_sandbox.writeMimeinfoCache({{u"text/markdown"_s, {viewerId, editorId}},
                                      {u"text/x-tex"_s, {u"org.example.Broken.desktop"_s}}});
        m_sandbox.writeDefaults({{u"text/markdown"_s, viewerId}});
    }

private:
    XdgSandbox& m_sandbox;
    RawFiles m_raw;
    const QString m_brokenProgram = m_sandbox.root() + u"/bin/vanishing"_s;
    QUrl m_broken;

private Q_SLOTS:
    void init() { m_sandbox.clearRecords(); }

    void everyWayOutOpensAllFilesAsSingleArguments_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("opener");
        QTest::newRow("click on another tile") << u"tile"_s << editorId;
        QTest::newRow("double click on the preview") << u"preview"_s << viewerId;
        QTest::newRow("countdown runs out") << u"countdown"_s << viewerId;
    }
    void everyWayOutOpensAllFilesAsSingleArguments() {
        QFETCH(QString, way);
        QFETCH(QString, opener);
        const QByteArray dir = QFile::encodeName(m_sandbox.root()) + "/files/";
        QList<QByteArray> paths;
        QList<QUrl> files;
        for (const QByteArray name : {"notes one.md", "it's \"quoted\".md", "$(touch pwned).md",
                                      "semi;colon & amp.md", "caf\xe9 latin1.md"}) {
            QVERIFY(m_raw.write(paths.emplace_back(dir + name), "# hi\n"));
            files.append(fileUrlFromPath(paths.last()));
        }
        const QUrl openerUrl = m_sandbox.appUrl(opener);
        const qint64 usesBefore = usesOf(openerUrl);
        const auto vc = showing(files);
        QCOMPARE(vc->allAppCandidates.first().url.path(), m_sandbox.appUrl(viewerId).path());
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        if (way == u"tile") {
            QCOMPARE(tiles(*vc).at(1)->appURL->path(), openerUrl.path());
            QTest::mouseClick(tiles(*vc).at(1), Qt::LeftButton);
            QVERIFY(vc->isTimerPaused);
        } else if (way == u"preview") {
            QTest::mouseDClick(vc->previewContainer, Qt::LeftButton);
        } else {
            vc->timer->setInterval(3600 * 1000);
            for (int i = 0; i < 51; ++i)
                vc->tick();
        }
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(opener).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(opener).first(), paths);
        QCOMPARE(m_sandbox.recordedLaunches(opener == viewerId ? editorId : viewerId).size(), 0);
        QVERIFY(!QFile::exists(m_sandbox.home() + u"/pwned"_s));
        QVERIFY(!QFile::exists(QDir::currentPath() + u"/pwned"_s));
        QCOMPARE(usesOf(openerUrl), usesBefore + 1);
    }

    void setDefaultSwitchMadeBeforeLaunch() {
        const auto vc = showing({m_sandbox.writeFile(u"switch.md"_s, "x")});
        vc->setDefaultButton->setChecked(true);
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        // Right after the click, before the launch has finished, the switch is in place.
        QTest::mouseClick(tiles(*vc).at(1), Qt::LeftButton);
        QVERIFY(vc->isLaunchInFlight() || terminate.size() == 1);
        QCOMPARE(PreferencesStore::standard()
                     .value(MainViewController::previousDefaultKeyPrefix + u"text/markdown"_s)
                     .toString(),
                 m_sandbox.appUrl(viewerId).path());
        QProcess gio;
        gio.start(u"gio"_s, {u"mime"_s, u"text/markdown"_s});
        QVERIFY(gio.waitForFinished(10000));
        QVERIFY2(gio.readAllStandardOutput().contains("org.marvoline.Marvoline.desktop"),
                 "gio mime does not name the chooser as default");
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        m_sandbox.writeDefaults({{u"text/markdown"_s, viewerId}}); // undo for the other cases
    }

    void failedLaunchKeepsTheChooser() {
        const auto vc = showing({m_sandbox.writeFile(u"paper.tex"_s, "\\documentclass{x}\n")});
        QCOMPARE(vc->allAppCandidates.size(), 1);
        QFile::remove(m_brokenProgram);
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        QSignalSpy failed(vc.get(), &MainViewController::launchFailed);
        QTest::mouseClick(tiles(*vc).at(0), Qt::LeftButton);
        QTRY_COMPARE(failed.size(), 1);
        QVERIFY(!vc->isLaunchInFlight() && vc->isTimerPaused);
        QVERIFY(vc->messageLabel->isVisibleTo(vc.get()));
        QVERIFY(vc->messageLabel->text().contains(u"Broken"_s));
        QCOMPARE(usesOf(m_broken), 1); // counted before the launch
        // The countdown cannot take over afterwards.
        for (int i = 0; i < 60; ++i)
            vc->tick();
        QCOMPARE(terminate.size(), 0);
    }

    void choicesWhileLaunchingAreIgnored() {
        const auto vc = showing({m_sandbox.writeFile(u"twice.md"_s, "x")});
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        QTest::mouseClick(tiles(*vc).at(1), Qt::LeftButton);
        QVERIFY(vc->isLaunchInFlight());
        QTest::mouseClick(tiles(*vc).at(0), Qt::LeftButton);
        vc->onPreviewDoubleClick();
        vc->onCloseTapped();
        QTRY_COMPARE(terminate.size(), 1);
        QTest::qWait(300); // a second launch would have been recorded by now
        QCOMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(viewerId).size(), 0);
        QCOMPARE(terminate.size(), 1);
    }

    void closeOpensNothing() {
        const auto vc = showing({m_sandbox.writeFile(u"close.md"_s, "x")});
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        QTest::mouseClick(vc->closeButton, Qt::LeftButton);
        QCOMPARE(terminate.size(), 1);
        QVERIFY(vc->isTimerPaused);
        QTest::qWait(200); // a launch would have been recorded by now
        QVERIFY(QDir(m_sandbox.recordsDir()).isEmpty());
    }

    void doubleClickWithoutCandidatesDoesNothing() {
        const auto vc = showing({m_sandbox.writeFile(u"nothing.unknownext"_s, "x")});
        QVERIFY(vc->allAppCandidates.isEmpty());
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        QTest::mouseDClick(vc->previewContainer, Qt::LeftButton);
        QVERIFY(!vc->isTimerPaused);
        QCOMPARE(terminate.size(), 0);
    }
};

MARVOLINE_TEST_MAIN(TestOpening)
#include "tst_chooser_opening.moc"
