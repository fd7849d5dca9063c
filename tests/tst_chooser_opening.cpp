// Opening the files for real: a desktop entry whose Exec records its arguments
// receives them, the use is counted first, the default switch is made before
// the launch, a failed launch keeps the chooser, and nothing opens twice.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/PreferencesStore.h"
#include "views/AppIconButton.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

using namespace marvoline;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QString editorId = QStringLiteral("org.example.Editor.desktop");
const QString brokenId = QStringLiteral("org.example.Broken.desktop");

QList<AppIconButton*> tiles(const MainViewController& vc) {
    return vc.appStackView->findChildren<AppIconButton*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class OpeningTest : public QObject {
    Q_OBJECT

public:
    explicit OpeningTest(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        // Markdown files: the viewer is the default, the editor also opens them.
        m_viewer =
            m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), {QStringLiteral("text/markdown")});
        m_editor =
            m_sandbox.addApp(editorId, QStringLiteral("Editor"), {QStringLiteral("text/markdown")});
        // An entry whose program disappears after the registry has read it.
        m_brokenProgram = m_sandbox.root() + QStringLiteral("/bin/vanishing");
        QFile::copy(m_sandbox.recorderPath(), m_brokenProgram);
        QFile::setPermissions(m_brokenProgram, QFile::ReadOwner | QFile::ExeOwner);
        m_broken = m_sandbox.addRawDesktopFile(
            brokenId,
            "[Desktop Entry]\nType=Application\nName=Broken\nMimeType=text/x-tex;\nExec=" +
                QFile::encodeName(m_brokenProgram) + " %F\n");
        m_sandbox.writeMimeinfoCache({{QStringLiteral("text/markdown"), {viewerId, editorId}},
                                      {QStringLiteral("text/x-tex"), {brokenId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/markdown"), viewerId}});
    }

private Q_SLOTS:
    void init() { m_sandbox.clearRecords(); }

    void allFilesInOrderAsSingleArguments() {
        const QList<QByteArray> names = {"notes one.md", "it's \"quoted\".md", "$(touch pwned).md",
                                         "semi;colon & amp.md"};
        QList<QUrl> files;
        QList<QByteArray> paths;
        for (const QByteArray& name : names) {
            files.append(m_sandbox.writeFile(QString::fromUtf8(name), "# hi\n"));
            paths.append(localPath(files.last()));
        }
        MainViewController vc;
        vc.configure(files, true, false);
        vc.showFiles();
        QVERIFY(vc.allAppCandidates.size() >= 2);
        QCOMPARE(vc.allAppCandidates.first().url.path(), m_viewer.path());

        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        AppIconButton* editorTile = tiles(vc).at(1);
        QCOMPARE(editorTile->appURL->path(), m_editor.path());
        QTest::mouseClick(editorTile, Qt::LeftButton);
        QVERIFY(vc.isTimerPaused);

        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(editorId).first(), paths);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
        QVERIFY(!QFile::exists(m_sandbox.home() + QStringLiteral("/pwned")));
        QVERIFY(!QFile::exists(QDir::currentPath() + QStringLiteral("/pwned")));

        const QJsonObject usage =
            PreferencesStore::standard().value(MainViewController::appUsageKey).toObject();
        QCOMPARE(usage.value(m_editor.path()).toInteger(), 1);
    }

    void nonUtf8NameArrivesUnchanged() {
        const QByteArray dir = QFile::encodeName(m_sandbox.root() + QStringLiteral("/files"));
        const QByteArray path = dir + "/caf\xe9 latin1.md";
        {
            FILE* out = ::fopen(path.constData(), "w");
            QVERIFY(out);
            ::fputs("# x\n", out);
            ::fclose(out);
        }
        MainViewController vc;
        vc.configure({fileUrlFromPath(path)}, true, false);
        vc.showFiles();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        vc.onPreviewDoubleClick();
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(viewerId).first(), QList<QByteArray>{path});
    }

    void countdownEndOpensWithDefault() {
        const QUrl a = m_sandbox.writeFile(QStringLiteral("a.md"), "a");
        const QUrl b = m_sandbox.writeFile(QStringLiteral("b.md"), "b");
        MainViewController vc;
        vc.configure({a, b}, true, false);
        vc.showFiles();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        vc.timer->stop();
        vc.timer->start(3600 * 1000);
        for (int i = 0; i < 51; ++i)
            vc.tick();
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(viewerId).first(),
                 (QList<QByteArray>{localPath(a), localPath(b)}));
    }

    void setDefaultSwitchMadeBeforeLaunch() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("switch.md"), "x");
        MainViewController vc;
        vc.configure({file}, true, false);
        vc.showFiles();
        vc.setDefaultButton->setChecked(true);
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        // Right after the click, before the launch has finished, the switch is in place.
        QTest::mouseClick(tiles(vc).at(1), Qt::LeftButton);
        QVERIFY(vc.isLaunchInFlight() || terminate.size() == 1);
        QCOMPARE(PreferencesStore::standard()
                     .value(MainViewController::previousDefaultKeyPrefix +
                            QStringLiteral("text/markdown"))
                     .toString(),
                 m_viewer.path());
        QProcess gio;
        gio.start(QStringLiteral("gio"), {QStringLiteral("mime"), QStringLiteral("text/markdown")});
        QVERIFY(gio.waitForFinished(10000));
        QVERIFY2(gio.readAllStandardOutput().contains("org.marvoline.Marvoline.desktop"),
                 "gio mime does not name the chooser as default");
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        // Undo for the other cases.
        m_sandbox.writeDefaults({{QStringLiteral("text/markdown"), viewerId}});
    }

    void failedLaunchKeepsTheChooser() {
        const QUrl file =
            m_sandbox.writeFile(QStringLiteral("paper.tex"), "\\documentclass{article}\n");
        MainViewController vc;
        vc.configure({file}, true, false);
        vc.showFiles();
        QCOMPARE(vc.allAppCandidates.size(), 1);
        QFile::remove(m_brokenProgram);

        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        QSignalSpy failed(&vc, &MainViewController::launchFailed);
        QTest::mouseClick(tiles(vc).at(0), Qt::LeftButton);
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(terminate.size(), 0);
        QVERIFY(!vc.isLaunchInFlight());
        QVERIFY(vc.isTimerPaused);
        QVERIFY(vc.messageLabel->isVisibleTo(&vc));
        QVERIFY(vc.messageLabel->text().contains(QStringLiteral("Broken")));
        // The use was counted before the launch.
        const QJsonObject usage =
            PreferencesStore::standard().value(MainViewController::appUsageKey).toObject();
        QCOMPARE(usage.value(m_broken.path()).toInteger(), 1);
        // The countdown cannot take over afterwards.
        for (int i = 0; i < 60; ++i)
            vc.tick();
        QCOMPARE(terminate.size(), 0);
    }

    void choicesWhileLaunchingAreIgnored() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("twice.md"), "x");
        MainViewController vc;
        vc.configure({file}, true, false);
        vc.showFiles();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        QTest::mouseClick(tiles(vc).at(1), Qt::LeftButton);
        QVERIFY(vc.isLaunchInFlight());
        QTest::mouseClick(tiles(vc).at(0), Qt::LeftButton);
        vc.onPreviewDoubleClick();
        QTRY_COMPARE(terminate.size(), 1);
        QTest::qWait(300);
        QCOMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(viewerId).size(), 0);
        QCOMPARE(terminate.size(), 1);
    }

    void closeOpensNothing() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("close.md"), "x");
        MainViewController vc;
        vc.configure({file}, true, false);
        vc.showFiles();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        QTest::mouseClick(vc.closeButton, Qt::LeftButton);
        QCOMPARE(terminate.size(), 1);
        QVERIFY(vc.isTimerPaused);
        QTest::qWait(200);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
        QVERIFY(m_sandbox.recordedLaunches(editorId).isEmpty());
    }

    void doubleClickWithoutCandidatesDoesNothing() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("nothing.unknownext"), "x");
        MainViewController vc;
        vc.configure({file}, true, false);
        vc.showFiles();
        QVERIFY(vc.allAppCandidates.isEmpty());
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        QTest::mouseDClick(vc.previewContainer, Qt::LeftButton);
        QVERIFY(!vc.isTimerPaused);
        QCOMPARE(terminate.size(), 0);
    }

private:
    test::XdgSandbox& m_sandbox;
    QUrl m_viewer;
    QUrl m_editor;
    QUrl m_broken;
    QString m_brokenProgram;
};

MARVOLINE_TEST_MAIN(OpeningTest)
#include "tst_chooser_opening.moc"
