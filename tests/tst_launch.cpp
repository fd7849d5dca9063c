// Launching an application with files through GIO: every file arrives, in
// order, in one process, as one unchanged argument each, whatever its name;
// failures come back through the callback; the callback runs once, later, on
// the main thread. Also run with QT_NO_GLIB=1, where Qt's event loop does not
// run GLib's main context.

#include "platform/FilePaths.h"
#include "platform/gio/GioAppRegistry.h"
#include "support/TestMain.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <unistd.h>

#include <memory>

using marvoline::fileUrlFromPath;
using marvoline::GioAppRegistry;

namespace {

// Counts the callback's calls and keeps the last answer.
struct Outcome {
    int calls = 0;
    bool onMainThread = true;
    std::optional<QString> error;
};

marvoline::AppRegistry::LaunchCallback recordInto(const std::shared_ptr<Outcome>& outcome) {
    return [outcome](const std::optional<QString>& error) {
        ++outcome->calls;
        outcome->onMainThread = QThread::currentThread() == qApp->thread();
        outcome->error = error;
    };
}

} // namespace

class TestLaunch : public QObject {
    Q_OBJECT

public:
    explicit TestLaunch(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        const QByteArray head = "[Desktop Entry]\nType=Application\nName=";
        sb.addApp(QStringLiteral("recorder.desktop"), QStringLiteral("Recorder"));
        sb.addRawDesktopFile(QStringLiteral("no-exec.desktop"), head + "No Exec\n");
        // A script whose interpreter does not exist: GIO loads the entry (the
        // program is there) but starting it fails.
        brokenProgram = sb.root() + QStringLiteral("/bin/broken");
        QFile script(brokenProgram);
        if (script.open(QIODevice::WriteOnly))
            script.write("#!/nonexistent/interpreter\n");
        script.close();
        QFile::setPermissions(brokenProgram,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        sb.addRawDesktopFile(QStringLiteral("broken.desktop"),
                             head + "Broken\nExec=" + QFile::encodeName(brokenProgram) + " %F\n");
        // A program that is removed after the entry was first read.
        vanishing = sb.root() + QStringLiteral("/bin/vanishing");
        QFile::copy(sb.recorderPath(), vanishing);
        sb.addRawDesktopFile(QStringLiteral("vanishing.desktop"),
                             head + "Vanishing\nExec=" + QFile::encodeName(vanishing) +
                                 " vanishing.desktop %F\n");
    }

private:
    marvoline::test::XdgSandbox& sb;
    GioAppRegistry registry;
    QString brokenProgram;
    QString vanishing;
    QList<QByteArray> rawNames;

    // Launches and waits for the callback; verifies it ran exactly once, on
    // the main thread, and not from inside launch() itself.
    void launchAndWait(const QUrl& app, const QList<QUrl>& files,
                       std::shared_ptr<Outcome>& outcome) {
        outcome = std::make_shared<Outcome>();
        registry.launch(app, files, recordInto(outcome));
        QCOMPARE(outcome->calls, 0);
        QTRY_COMPARE_WITH_TIMEOUT(outcome->calls, 1, 20000);
        // A later turn of the loop brings no second call.
        QTest::qWait(300);
        QCOMPARE(outcome->calls, 1);
        QVERIFY(outcome->onMainThread);
    }

private Q_SLOTS:
    void cleanupTestCase() {
        // QTemporaryDir cannot remove names that are not UTF-8.
        for (const QByteArray& path : std::as_const(rawNames))
            ::unlink(path.constData());
    }

    void dispatcherUnderTest() {
        const bool glib = QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib");
        // Both ways of running GLib's main context are covered: this run's is
        // the one its environment asks for.
        QCOMPARE(glib, qEnvironmentVariableIsEmpty("QT_NO_GLIB"));
    }

    void allFilesInOneLaunchUnchanged() {
        const QByteArray dir = QFile::encodeName(sb.root()) + "/files/";
        const QString pwnedMarker = sb.root() + QStringLiteral("/pwned");
        const bool tmpPwnedBefore = QFile::exists(QStringLiteral("/tmp/pwned"));
        const QList<QByteArray> paths{
            dir + "plain.txt",
            dir + "with  two spaces.txt",
            dir + "quote\"s and 'single' quotes.txt",
            dir + "$(touch /tmp/pwned)",
            dir + "`touch " + QFile::encodeName(pwnedMarker) + "`;$(touch " +
                QFile::encodeName(pwnedMarker) + ")|&<>*?#~%f %F \\n.txt",
            dir + "caf\xe9 not UTF-8.txt",
            dir + "new\nline",
        };
        QList<QUrl> urls;
        for (const QByteArray& path : paths) {
            QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/'))));
            FILE* f = std::fopen(path.constData(), "wb");
            QVERIFY2(f, path.constData());
            std::fputs("x", f);
            std::fclose(f);
            urls.append(fileUrlFromPath(path));
            rawNames.append(path);
        }

        std::shared_ptr<Outcome> outcome;
        launchAndWait(sb.appUrl(QStringLiteral("recorder.desktop")), urls, outcome);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(outcome->error, std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(sb.recordedLaunches(QStringLiteral("recorder.desktop")).size(), 1,
                                  20000);
        QCOMPARE(sb.recordedLaunches(QStringLiteral("recorder.desktop")).constFirst(), paths);
        QVERIFY(!QFile::exists(pwnedMarker));
        if (!tmpPwnedBefore)
            QVERIFY(!QFile::exists(QStringLiteral("/tmp/pwned")));
    }

    void failuresComeThroughTheCallback_data() {
        QTest::addColumn<QUrl>("app");
        QTest::newRow("missing entry") << sb.appUrl(QStringLiteral("missing.desktop"));
        QTest::newRow("entry without Exec") << sb.appUrl(QStringLiteral("no-exec.desktop"));
        QTest::newRow("not a file URL") << QUrl(QStringLiteral("https://example.org/x.desktop"));
        QTest::newRow("program cannot start") << sb.appUrl(QStringLiteral("broken.desktop"));
    }

    void failuresComeThroughTheCallback() {
        QFETCH(QUrl, app);
        const QUrl doc = sb.writeFile(QStringLiteral("doc.txt"), "x");
        std::shared_ptr<Outcome> outcome;
        launchAndWait(app, {doc}, outcome);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(outcome->error);
        QVERIFY(!outcome->error->isEmpty());
    }

    void programGoneAfterEntryWasRead() {
        const QUrl app = sb.appUrl(QStringLiteral("vanishing.desktop"));
        QVERIFY(registry.bundleIdentifier(app));
        QVERIFY(QFile::remove(vanishing));
        std::shared_ptr<Outcome> outcome;
        launchAndWait(app, {sb.writeFile(QStringLiteral("doc.txt"), "x")}, outcome);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(outcome->error);
        QVERIFY(sb.recordedLaunches(QStringLiteral("vanishing.desktop")).isEmpty());
    }

    void launchesInFlightAtOnce() {
        sb.clearRecords();
        const QUrl app = sb.appUrl(QStringLiteral("recorder.desktop"));
        auto first = std::make_shared<Outcome>();
        auto second = std::make_shared<Outcome>();
        registry.launch(app, {sb.writeFile(QStringLiteral("one"), "1")}, recordInto(first));
        registry.launch(app, {sb.writeFile(QStringLiteral("two"), "2")}, recordInto(second));
        QTRY_VERIFY_WITH_TIMEOUT(first->calls == 1 && second->calls == 1, 20000);
        QCOMPARE(first->error, std::nullopt);
        QCOMPARE(second->error, std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(sb.recordedLaunches(QStringLiteral("recorder.desktop")).size(), 2,
                                  20000);
        QTest::qWait(200);
        QCOMPARE(first->calls, 1);
        QCOMPARE(second->calls, 1);
    }
};

MARVOLINE_TEST_MAIN(TestLaunch)
#include "tst_launch.moc"
