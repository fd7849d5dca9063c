// One chooser per session: the bus-name claim and the hand-over within this process, then the
// program itself as separate processes, all on this test's private session bus.

#include "support/PrivateBus.h"
#include "support/StoreHazards.h"
#include "support/TestMain.h"

#include "main/AppDelegate.h"
#include "main/LaunchCoordinator.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/dbus/ApplicationService.h"
#include "platform/dbus/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>

using namespace marvoline;
using Role = SingleInstance::Role;

namespace {

const QString busName = QString::fromLatin1(SingleInstance::busName);

WindowActivation activationAt(const QSignalSpy& spy, int argument) {
    return spy.isEmpty() ? WindowActivation() : spy.last().at(argument).value<WindowActivation>();
}

bool nameOwned() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(busName);
}

// Launches recorded for the desktop entry, in an order that does not depend on which came first.
QList<QList<QByteArray>> sortedLaunches(const test::XdgSandbox& sb, const QString& id) {
    QList<QList<QByteArray>> launches = sb.recordedLaunches(id);
    std::sort(launches.begin(), launches.end());
    return launches;
}

// The first call that reaches the service makes it stop taking requests, as a launch does, once
// that call has been taken in and before anything else happens.
class StopAfterFirstCall : public QObject {
public:
    explicit StopAfterFirstCall(ApplicationService& service)
        : m_service(service) {
        service.installEventFilter(this);
    }
    bool stopped = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_service && event->type() == QEvent::MetaCall && !m_posted) {
            m_posted = true;
            // Posted before the call runs, so queued ahead of what the call queues.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_service.setAcceptingRequests(false);
                    stopped = true;
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    ApplicationService& m_service;
    bool m_posted = false;
};

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

public:
    explicit TestSingleInstance(test::XdgSandbox& sandbox)
        : sb(sandbox)
        , slowBus(sandbox) {
        sb.addApp("recorder.desktop", "Recorder", {"text/plain"});
        // Started over D-Bus by the private bus, it answers only after 4 s.
        slowBus.addSlowApp("org.example.Slow.desktop", "Slow", {"text/csv"}, 4000);
        sb.writeMimeinfoCache(
            {{"text/plain", {"recorder.desktop"}}, {"text/csv", {"org.example.Slow.desktop"}}});
        sb.writeDefaults({{"text/plain", "recorder.desktop"}});
    }

private:
    test::XdgSandbox& sb;
    test::PrivateBus slowBus;
    QStringList connections;

    QDBusConnection connection(const QString& name) {
        connections << name;
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }
    void start(SingleInstance& instance, const QString& name, Role expected) {
        instance.start(connection(name));
        QCOMPARE(instance.role(), Role::Undecided); // never decided from within start()
        QTRY_COMPARE(instance.role(), expected);
    }
    QProcess* program(const QStringList& arguments, const QString& busAddress = {},
                      bool readErrors = false, bool withDisplay = true) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); // the sandbox's XDG
        env.insert("QT_QPA_PLATFORM", "offscreen");
        if (!withDisplay) {
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                env.remove(name);
        }
        if (!busAddress.isEmpty())
            env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        auto* process = new QProcess(this);
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(sb.root() + "/files");
        process->setProcessChannelMode(readErrors ? QProcess::SeparateChannels
                                                  : QProcess::ForwardedErrorChannel);
        process->start(MARVOLINE_EXECUTABLE, arguments);
        return process;
    }
    // 1 when the running chooser took the request, 0 when not, -1 without an answer.
    static int forward(SingleInstance& instance, const QList<QUrl>& files,
                       const WindowActivation& activation = {}) {
        QSignalSpy forwarded(&instance, &SingleInstance::forwarded);
        instance.forward(files, activation.platformData());
        return forwarded.wait(5000) && forwarded.count() == 1 ? forwarded.at(0).at(0).toBool() : -1;
    }
    static void exitsWithZero(QProcess* process, int timeoutMs) {
        QVERIFY2(process->waitForFinished(timeoutMs), "the program did not end by itself");
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs its own session bus");
    }

    void cleanup() {
        qDeleteAll(findChildren<QProcess*>()); // each kills its process and waits
        for (const QString& name : std::as_const(connections))
            QDBusConnection::disconnectFromBus(name);
        connections.clear();
        QTRY_VERIFY(!nameOwned()); // the next test starts with the name free
        sb.clearRecords();
    }

    void claimAndForward() {
        ApplicationService firstService;
        firstService.setAcceptedActions({ApplicationService::reminderResponseAction});
        SingleInstance first(firstService);
        ApplicationService secondService;
        SingleInstance second(secondService);
        start(first, "first", Role::Primary);
        start(second, "second", Role::Secondary);
        QSignalSpy opened(&firstService, &ApplicationService::openRequested);
        QSignalSpy activated(&firstService, &ApplicationService::activateRequested);
        QSignalSpy actions(&firstService, &ApplicationService::actionRequested);
        const QList<QUrl> files{fileUrlFromPath("/tmp/b.txt"),
                                fileUrlFromPath("/tmp/sp ace/\xff.txt")};
        const WindowActivation launcher{"launcher_TIME42", "token-1"};
        QCOMPARE(forward(second, files, launcher), 1);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).value<QList<QUrl>>(), files);
        QCOMPARE(activationAt(opened, 1).startupId, launcher.startupId);
        QCOMPARE(activationAt(opened, 1).activationToken, launcher.activationToken);
        // Without files it asks the chooser to come to the front, with the same.
        QCOMPARE(forward(second, {}, launcher), 1);
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activationAt(activated, 0).startupId, launcher.startupId);
        QCOMPARE(activationAt(activated, 0).activationToken, launcher.activationToken);
        // A reminder's answer arrives with its dictionary as a plain map, and
        // with the activation the notification server gave for it.
        const QVariantMap answer{{"filePath", "/tmp/r.pdf"}};
        QSignalSpy forwarded(&second, &SingleInstance::forwarded);
        second.forwardAction(ApplicationService::reminderResponseAction, {answer},
                             launcher.platformData());
        QVERIFY(forwarded.wait(5000));
        QCOMPARE(actions.count(), 1);
        QCOMPARE(actions.at(0).at(1).toList(), QVariantList{answer});
        QCOMPARE(activationAt(actions, 2).startupId, launcher.startupId);
        QCOMPARE(activationAt(actions, 2).activationToken, launcher.activationToken);

        // On its way out the first refuses: the files must not be reported as taken.
        firstService.setAcceptingRequests(false);
        QCOMPARE(forward(second, files), 0);
        QCOMPARE(forward(second, {}), 0);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(activated.count(), 1);
    }

    // A request taken in but not shown yet when the chooser stops taking requests (a launch
    // begins) is refused, so that its caller shows the files itself; none is lost.
    void requestNotShownWhenClosingIsRefused() {
        ApplicationService firstService;
        SingleInstance first(firstService);
        ApplicationService secondService;
        SingleInstance second(secondService);
        start(first, "first", Role::Primary);
        start(second, "second", Role::Secondary);
        QSignalSpy opened(&firstService, &ApplicationService::openRequested);
        QSignalSpy activated(&firstService, &ApplicationService::activateRequested);
        StopAfterFirstCall stop(firstService);
        QCOMPARE(forward(second, {fileUrlFromPath("/tmp/late.txt")}), 0);
        QVERIFY(stop.stopped);
        QTest::qWait(0); // anything still queued for the request has run
        QCOMPARE(opened.count(), 0);
        QCOMPARE(activated.count(), 0);
        // Taking requests again, the chooser shows the next one.
        firstService.setAcceptingRequests(true);
        QCOMPARE(forward(second, {fileUrlFromPath("/tmp/next.txt")}), 1);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).value<QList<QUrl>>(),
                 QList<QUrl>{fileUrlFromPath("/tmp/next.txt")});
    }

    // Thousands of Open calls from another connection during the countdown: each caller is
    // answered, the chooser shows only some of them, the last one last, and its countdown then
    // opens the last file alone.
    void floodOfOpenRequestsShowsTheLatest() {
        constexpr int requests = 2000;
        const QUrl first = sb.writeFile("flood/first.txt", "first");
        QStringList uris;
        for (int i = 0; i < requests; ++i)
            uris.append(QString::fromLatin1(
                sb.writeFile(QStringLiteral("flood/%1.txt").arg(i), QByteArray::number(i))
                    .toEncoded()));
        AppDelegate delegate;
        delegate.applicationWillFinishLaunching({localPath(first)});
        LaunchCoordinator launch(delegate);
        launch.start(connection("flood-chooser"));
        QTRY_COMPARE(launch.role(), Role::Primary);
        QVERIFY(delegate.window && QTest::qWaitForWindowExposed(delegate.window));
        QSignalSpy shown(delegate.window.data(), &QWidget::windowTitleChanged);

        // Sent as fast as the other connection can, while this thread keeps the chooser going.
        const QDBusConnection bus = connection("flood-sender");
        std::atomic<int> answered{0};
        std::unique_ptr<QThread> sender(QThread::create([&] {
            QList<QDBusPendingCall> calls;
            for (const QString& uri : std::as_const(uris)) {
                QDBusMessage call = QDBusMessage::createMethodCall(
                    busName, QString::fromLatin1(ApplicationService::objectPath),
                    QString::fromLatin1(ApplicationService::interfaceName), "Open");
                call << QStringList{uri} << QVariantMap();
                calls.append(bus.asyncCall(call));
            }
            for (QDBusPendingCall& call : calls) {
                call.waitForFinished();
                answered += call.isError() ? 0 : 1;
            }
        }));
        sender->start();
        QTRY_VERIFY_WITH_TIMEOUT(sender->isFinished(), 60000);
        QCOMPARE(answered.load(), requests);
        const QUrl last = QUrl::fromEncoded(uris.last().toLatin1());
        QCOMPARE(delegate.mainViewController->fileURLs, QList<QUrl>{last});
        QVERIFY2(shown.count() < requests / 4, qPrintable(QString::number(shown.count())));
        QTRY_COMPARE_WITH_TIMEOUT(sb.recordedLaunches("recorder.desktop"),
                                  QList<QList<QByteArray>>{{localPath(last)}}, 15000);
    }

    // Files given at start show as soon as this process knows it is the one chooser, not at the
    // launch check half a second later; with nothing usable the program ends.
    void launchShowsCommandLineFilesAtOnce_data() {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("file given") << true;
        QTest::newRow("nothing usable given") << false;
    }
    void launchShowsCommandLineFilesAtOnce() {
        QFETCH(bool, withFile);
        const QUrl file = sb.writeFile("launch/shown.txt", "x");
        AppDelegate delegate;
        QSignalSpy terminate(&delegate, &AppDelegate::terminateRequested);
        delegate.applicationWillFinishLaunching({withFile ? localPath(file) : "launch/shown.txt"});
        LaunchCoordinator launch(delegate);
        launch.start(connection("launch"));
        QTRY_COMPARE(launch.role(), Role::Primary);
        QCOMPARE(delegate.hasShownWindow(), withFile);
        if (withFile)
            QCOMPARE(delegate.mainViewController->fileURLs, QList<QUrl>{file});
        else
            QTRY_COMPARE(terminate.count(), 1);
    }

    void commandLineWithoutFiles_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("output");    // the start of standard output
        QTest::addColumn<QString>("errorLine"); // found on standard error
        const QStringList unusable{"-v",
                                   "--bogus",
                                   "missing.txt",
                                   sb.root() + "/files/missing.txt",
                                   "~/missing",
                                   "file:///nonexistent/x",
                                   "file://elsewhere/etc/hosts"};
        QTest::newRow("nothing usable") << unusable << QString() << "\"missing.txt\"";
        QTest::newRow("help") << QStringList{"present.txt", "--help"} << "Usage: marvoline"
                              << QString();
        QTest::newRow("version") << QStringList{"--version"} << "marvoline 0." << QString();
    }

    void commandLineWithoutFiles() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, output);
        QFETCH(QString, errorLine);
        sb.writeFile("present.txt", "text");
        // Asked for help or the version, it answers also in a terminal without a display.
        QProcess* process = program(arguments, {}, true, output.isEmpty());
        exitsWithZero(process, 10000);
        QVERIFY(!nameOwned());
        const QString printed = QString::fromLocal8Bit(process->readAllStandardOutput());
        QVERIFY2(output.isEmpty() ? printed.isEmpty() : printed.startsWith(output),
                 qPrintable(printed));
        const QString errors = QString::fromLocal8Bit(process->readAllStandardError());
        if (!errorLine.isEmpty())
            QVERIFY2(errors.contains(errorLine), qPrintable(errors));
        QVERIFY(QDir(sb.recordsDir()).isEmpty());
    }

    void launchInFlightRefusesFiles() {
        // The default for CSV files is started over D-Bus and answers late. A second process
        // whose files reach the first while it launches must show them itself.
        const QUrl a = sb.writeFile("slow/a.csv", "1");
        const QUrl b = sb.writeFile("slow/b.csv", "2");
        const QString address = slowBus.address();
        QVERIFY(!address.isEmpty());
        QDBusConnection watch = QDBusConnection::connectToBus(address, "watch");
        connections << "watch";
        const auto ownerPid = [&](const QString& name) {
            return watch.interface()->servicePid(name).value();
        };
        QProcess* first = program({a.toLocalFile()}, address);
        QTRY_COMPARE_WITH_TIMEOUT(ownerPid(busName), uint(first->processId()), 10000);
        // Its countdown has ended and the launch is under way.
        QTRY_VERIFY_WITH_TIMEOUT(ownerPid("org.example.Slow") != 0, 20000);
        QProcess* second = program({"slow/b.csv"}, address); // relative to its working folder
        exitsWithZero(first, 20000);
        // Once the first has gone the second owns the name, so a third would find it.
        QTRY_COMPARE_WITH_TIMEOUT(ownerPid(busName), uint(second->processId()), 10000);
        exitsWithZero(second, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(sb.recordedLaunches("org.example.Slow.desktop").size(), 2, 10000);
        QCOMPARE(sortedLaunches(sb, "org.example.Slow.desktop"),
                 (QList<QList<QByteArray>>{{localPath(a)}, {localPath(b)}}));
    }

    // A chooser whose window has closed but that still waits for the preferences (a use count
    // behind a lock another host keeps) no longer answers as the running chooser: one started
    // then takes the name and shows its files at once.
    void exitingChooserGivesUpTheNameFirst() {
        const QUrl a = sb.writeFile("exit/a.txt", "a");
        const QUrl b = sb.writeFile("exit/b.txt", "b");
        test::StoreHazardInPlace lock(test::StoreHazard::FreshForeignLock, sb.preferencesPath());
        QVERIFY(lock.isInPlace());
        const auto ownerPid = [] {
            return QDBusConnection::sessionBus().interface()->servicePid(busName).value();
        };
        QProcess* first = program({a.toLocalFile()});
        QTRY_COMPARE_WITH_TIMEOUT(ownerPid(), uint(first->processId()), 10000);
        // The countdown ends and the recorder has the file: the window goes.
        QTRY_COMPARE_WITH_TIMEOUT(sb.recordedLaunches("recorder.desktop").size(), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(), 3000);
        QCOMPARE(first->state(), QProcess::Running);
        QProcess* second = program({b.toLocalFile()});
        QTRY_COMPARE_WITH_TIMEOUT(ownerPid(), uint(second->processId()), 5000);
        QCOMPARE(first->state(), QProcess::Running); // still waiting for the lock
        lock.clear();
        exitsWithZero(first, 30000);
        exitsWithZero(second, 30000);
        QTRY_COMPARE(sb.recordedLaunches("recorder.desktop").size(), 2);
        QCOMPARE(sortedLaunches(sb, "recorder.desktop"),
                 (QList<QList<QByteArray>>{{localPath(a)}, {localPath(b)}}));
    }

    void withoutBusEachProcessStandsAlone() {
        const QUrl one = sb.writeFile("alone/one.txt", "1");
        const QUrl two = sb.writeFile("alone/two.txt", "2");
        const QString noBus = "unix:path=" + sb.root() + "/no-bus-here";
        QProcess* first = program({one.toLocalFile()}, noBus);
        QProcess* second = program({two.toLocalFile()}, noBus);
        // Neither hands its file to the other: each opens its own.
        exitsWithZero(first, 30000);
        exitsWithZero(second, 30000);
        QVERIFY(!nameOwned());
        QTRY_COMPARE(sb.recordedLaunches("recorder.desktop").size(), 2);
        QCOMPARE(sortedLaunches(sb, "recorder.desktop"),
                 (QList<QList<QByteArray>>{{localPath(one)}, {localPath(two)}}));
    }
};

MARVOLINE_TEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
