#include "support/TestMain.h"

#include "platform/FilePaths.h"
#include "platform/dbus/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <memory>
#include <vector>

using namespace marvoline;

namespace {

const QString busName = QString::fromLatin1(SingleInstance::busName);

} // namespace

// The program itself, started as separate processes on a private session bus
// (and once without any bus).
class TestSingleInstance : public QObject {
    Q_OBJECT

public:
    explicit TestSingleInstance(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void quitsAloneWithoutArguments();
    void quitsAloneWithOnlyUnusableArguments();
    void secondProcessHandsFilesToFirst();
    void withoutBusEachProcessStandsAlone();

private:
    QProcess* startProgram(const QStringList& arguments,
                           const QProcessEnvironment& environment = programEnvironment());
    static QProcessEnvironment programEnvironment();
    static bool nameOwned();
    void useRecorderForText();

    test::XdgSandbox& m_sandbox;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

void TestSingleInstance::initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "this test needs its own session bus (dbus-run-session)");
    QVERIFY(QFile::exists(QStringLiteral(MARVOLINE_EXECUTABLE)));
}

void TestSingleInstance::cleanup() {
    for (auto& process : m_processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    m_processes.clear();
    QTRY_VERIFY(!nameOwned());
    m_sandbox.clearRecords();
}

bool TestSingleInstance::nameOwned() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(busName);
}

// ---- the program -----------------------------------------------------------------

QProcessEnvironment TestSingleInstance::programEnvironment() {
    // The sandbox's HOME and XDG variables are in this process's environment.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

QProcess* TestSingleInstance::startProgram(const QStringList& arguments,
                                           const QProcessEnvironment& environment) {
    auto process = std::make_unique<QProcess>();
    process->setProgram(QStringLiteral(MARVOLINE_EXECUTABLE));
    process->setArguments(arguments);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(m_sandbox.root() + QStringLiteral("/files"));
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start();
    if (!process->waitForStarted(10000))
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

void TestSingleInstance::useRecorderForText() {
    m_sandbox.addApp(QStringLiteral("recorder.desktop"), QStringLiteral("Recorder"),
                     {QStringLiteral("text/plain")});
    m_sandbox.writeMimeinfoCache(
        {{QStringLiteral("text/plain"), {QStringLiteral("recorder.desktop")}}});
    m_sandbox.writeDefaults({{QStringLiteral("text/plain"), QStringLiteral("recorder.desktop")}});
}

void TestSingleInstance::quitsAloneWithoutArguments() {
    QProcess* process = startProgram({});
    QVERIFY(process);
    QVERIFY2(process->waitForFinished(10000), "the program did not end by itself");
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 0);
    QVERIFY(!nameOwned());
}

void TestSingleInstance::quitsAloneWithOnlyUnusableArguments() {
    // "present.txt" exists in the working folder, but relative paths are not taken.
    m_sandbox.writeFile(QStringLiteral("present.txt"), "text");
    const QString missing = m_sandbox.root() + QStringLiteral("/files/missing.txt");
    QProcess* process =
        startProgram({QStringLiteral("present.txt"), QStringLiteral("-v"), QStringLiteral("--help"),
                      missing, QStringLiteral("~/missing.txt")});
    QVERIFY(process);
    QVERIFY2(process->waitForFinished(10000), "the program did not end by itself");
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 0);
}

void TestSingleInstance::secondProcessHandsFilesToFirst() {
    useRecorderForText();
    const QUrl a = m_sandbox.writeFile(QStringLiteral("handover/a.txt"), "a");
    const QUrl b = m_sandbox.writeFile(QStringLiteral("handover/b.txt"), "b");
    const QUrl c = m_sandbox.writeFile(QStringLiteral("handover/c d.txt"), "c");

    QProcess* first = startProgram({a.toLocalFile()});
    QVERIFY(first);
    QTRY_VERIFY_WITH_TIMEOUT(nameOwned(), 10000);
    QCOMPARE(QDBusConnection::sessionBus().interface()->servicePid(busName).value(),
             uint(first->processId()));

    QProcess* second = startProgram({b.toLocalFile(), c.toLocalFile()});
    QVERIFY(second);
    QVERIFY2(second->waitForFinished(10000), "the second process did not hand over and end");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(first->state(), QProcess::Running);

    // A third process without files only brings the running chooser forward.
    QProcess* third = startProgram({});
    QVERIFY(third);
    QVERIFY(third->waitForFinished(10000));
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(QDBusConnection::sessionBus().interface()->servicePid(busName).value(),
             uint(first->processId()));

    // The first process now shows b and c instead of a; its countdown runs out
    // and opens them with the default application, then it ends.
    QVERIFY2(first->waitForFinished(30000), "the first process did not open the files");
    QCOMPARE(first->exitCode(), 0);
    const QList<QList<QByteArray>> launches =
        m_sandbox.recordedLaunches(QStringLiteral("recorder.desktop"));
    QCOMPARE(launches.size(), 1);
    QCOMPARE(launches.first(), (QList<QByteArray>{localPath(b), localPath(c)}));
}

void TestSingleInstance::withoutBusEachProcessStandsAlone() {
    useRecorderForText();
    const QUrl one = m_sandbox.writeFile(QStringLiteral("alone/one.txt"), "1");
    const QUrl two = m_sandbox.writeFile(QStringLiteral("alone/two.txt"), "2");
    QProcessEnvironment environment = programEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + m_sandbox.root() +
                           QStringLiteral("/no-bus-here"));

    QProcess* first = startProgram({one.toLocalFile()}, environment);
    QProcess* second = startProgram({two.toLocalFile()}, environment);
    QVERIFY(first && second);

    // Neither hands its file to the other: each opens its own.
    QVERIFY2(first->waitForFinished(30000), "the first process did not open its file");
    QVERIFY2(second->waitForFinished(30000), "the second process did not open its file");
    QCOMPARE(first->exitCode(), 0);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(!nameOwned());

    QList<QList<QByteArray>> launches =
        m_sandbox.recordedLaunches(QStringLiteral("recorder.desktop"));
    std::sort(launches.begin(), launches.end());
    QCOMPARE(launches, (QList<QList<QByteArray>>{{localPath(one)}, {localPath(two)}}));
}

MARVOLINE_TEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
