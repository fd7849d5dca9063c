// Launching through GIO: all files in one process, each one unchanged argument; failures come
// through the callback, which runs once, later, on the main thread. Also run with QT_NO_GLIB=1.

#include "platform/FilePaths.h"
#include "platform/gio/GioAppRegistry.h"
#include "support/PrivateBus.h"
#include "support/RawFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QThread>

#include <memory>

using namespace marvoline;

// The answers a launch's callback gave; a call off the main thread counts twice.
using Answers = std::shared_ptr<QList<std::optional<QString>>>;

class TestLaunch : public QObject {
    Q_OBJECT

public:
    explicit TestLaunch(test::XdgSandbox& sandbox)
        : sb(sandbox)
        , bus(sandbox) {
        // Applications started over D-Bus, by the test's own bus.
        bus.makeSessionBus();
        bus.addSlowApp("org.example.Bus.desktop", "Bus", {}, 0);
        bus.addSlowApp("org.example.Refuses.desktop", "Refuses", {}, 0, "not today");
        sb.addApp("org.example.Absent.desktop", "Absent", {}, {"DBusActivatable=true"});
        const QByteArray head = "[Desktop Entry]\nType=Application\nName=";
        sb.addApp("recorder.desktop", "Recorder");
        // GIO loads this entry (the script is there) but starting it fails.
        const QString broken = sb.root() + "/bin/broken";
        raw.write(broken, "#!/nonexistent/interpreter\n");
        QFile::setPermissions(broken, QFile::ReadOwner | QFile::ExeOwner);
        sb.addRawDesktopFile("broken.desktop",
                             head + "Broken\nExec=" + QFile::encodeName(broken) + " %F\n");
        QFile::copy(sb.recorderPath(), vanishing);
        sb.addRawDesktopFile("vanishing.desktop",
                             head + "Vanishing\nExec=" + QFile::encodeName(vanishing) + " v %F\n");
    }

private:
    test::XdgSandbox& sb;
    test::PrivateBus bus;
    test::RawFiles raw;
    GioAppRegistry registry;
    const QString vanishing = sb.root() + "/bin/vanishing";

    Answers launch(const QUrl& app, const QList<QUrl>& files) {
        Answers answers = std::make_shared<QList<std::optional<QString>>>();
        registry.launch(app, files, [answers](const std::optional<QString>& error) {
            answers->append(error);
            if (QThread::currentThread() != qApp->thread())
                answers->append("called off the main thread");
        });
        [&] { QVERIFY(answers->isEmpty()); }(); // never from within launch()
        return answers;
    }
    // The one answer, once a later turn of the loop has brought no second one.
    static std::optional<QString> oneAnswer(const Answers& answers) {
        if (!QTest::qWaitFor([&] { return !answers->isEmpty(); }, 20000))
            return "no answer";
        QTest::qWait(300);
        return answers->size() == 1 ? answers->first() : "more than one answer";
    }

private Q_SLOTS:
    void allFilesInOneLaunchUnchanged() {
        const QByteArray dir = QFile::encodeName(sb.root()) + "/files/";
        // No shell sees the names: nothing they name is run.
        const QByteArray marker = QFile::encodeName(sb.root()) + "/pwned";
        const QList<QByteArray> paths{
            dir + "with  two spaces, quote\"s and 'single' quotes.txt",
            dir + "`touch " + marker + "`;$(touch " + marker + ")|&<>*?#~%f %F \\n.txt",
            dir + "caf\xe9 not UTF-8.txt",
            dir + "new\nline",
        };
        QList<QUrl> urls;
        for (const QByteArray& path : paths) {
            QVERIFY2(raw.write(path), path.constData());
            urls.append(fileUrlFromPath(path));
        }
        // Two launches in flight at once, one of them over D-Bus.
        const char* ids[] = {"recorder.desktop", "org.example.Bus.desktop"};
        const Answers answers[] = {launch(sb.appUrl(ids[0]), urls),
                                   launch(sb.appUrl(ids[1]), urls)};
        for (int i : {0, 1}) {
            QCOMPARE(oneAnswer(answers[i]), std::nullopt);
            QTRY_COMPARE_WITH_TIMEOUT(sb.recordedLaunches(ids[i]).size(), 1, 20000);
            QCOMPARE(sb.recordedLaunches(ids[i]).constFirst(), paths);
        }
        QVERIFY(!QFile::exists(QFile::decodeName(marker)));
    }

    void failuresComeThroughTheCallback_data() {
        QTest::addColumn<QUrl>("app");
        QTest::newRow("missing entry") << sb.appUrl("missing.desktop");
        QTest::newRow("program cannot start") << sb.appUrl("broken.desktop");
        // Over D-Bus, without a critical from GIO (this test runs with G_DEBUG=fatal-criticals).
        QTest::newRow("activation refused") << sb.appUrl("org.example.Refuses.desktop");
        QTest::newRow("no service for the name") << sb.appUrl("org.example.Absent.desktop");
        // Read once, then its program goes away.
        QVERIFY(registry.bundleIdentifier(sb.appUrl("vanishing.desktop")));
        QVERIFY(QFile::remove(vanishing));
        QTest::newRow("program gone after entry was read") << sb.appUrl("vanishing.desktop");
    }

    void failuresComeThroughTheCallback() {
        QFETCH(QUrl, app);
        sb.clearRecords();
        const Answers answers = launch(app, {sb.writeFile("doc.txt", "x")});
        QVERIFY(!oneAnswer(answers).value_or(QString()).isEmpty());
        QCOMPARE(answers->size(), 1);
        QVERIFY(QDir(sb.recordsDir()).isEmpty());
    }
};

MARVOLINE_TEST_MAIN(TestLaunch)
#include "tst_launch.moc"
