// Reminders end to end, on a real X server with a window manager, a private
// session bus and dunst as the notification server: the Later menu schedules
// a reminder and the chooser quits; the reminder agent, a process of its own,
// shows the notification when it is due; answering it brings the chooser
// back without countdown, into a new process or into the chooser that runs.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "chooser/LaterReminder.h"
#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/NotificationCenter.h"
#include "platform/ReminderStore.h"
#include "platform/dbus/DbusNotificationCenter.h"
#include "platform/dbus/ReminderAgent.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QToolButton>

#include <csignal>
#include <functional>

using namespace marvoline;
using namespace marvoline::test;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QString agentName = QString::fromLatin1(ReminderAgent::busName);

// dunst for this test: a left click runs the default action (its own default
// only closes), two alike notifications are not merged into one, and every
// notification shown is written to a file.
constexpr char dunstConfig[] = R"([global]
    mouse_left_click = do_action, close_current
    stack_duplicates = false
    idle_threshold = 0
    show_indicators = no
[record]
    summary = "*"
    script = %1
)";
constexpr char notificationRecorder[] = R"(#!/bin/sh
printf '%s|%s|%s|%s\n' "$DUNST_SUMMARY" "$DUNST_BODY" "$DUNST_DESKTOP_ENTRY" "$DUNST_TIMEOUT" >> "$(dirname "$0")/../notifications"
)";

QString dunstctl(const QStringList& args) {
    return runTool(QStringLiteral("dunstctl"), args).trimmed();
}

int displayedNotifications() {
    return dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).toInt();
}

bool busNameOwned(const QString& name) {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name);
}

// Visible windows whose title is exactly the text.
QStringList windowsNamed(const QString& title) {
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--name"),
                    QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Whether the process shows a pop-up (a menu) besides its window.
bool menuIsOpen(qint64 pid) {
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), QString::number(pid)})
               .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
               .size() >= 2;
}

// A process that has ended but was not reaped yet (the agent's choosers are
// nobody's children) counts as ended.
bool processAlive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.read(4096);
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName > 0 && line.mid(afterName + 2, 1) != "Z";
}

// Whether the process runs on this test's session bus (not another test's).
bool onThisBus(const QString& pid) {
    QFile environ(QStringLiteral("/proc/") + pid + QStringLiteral("/environ"));
    return environ.open(QIODevice::ReadOnly) &&
           environ.read(1 << 20).split('\0').contains("DBUS_SESSION_BUS_ADDRESS=" +
                                                      qgetenv("DBUS_SESSION_BUS_ADDRESS"));
}

// Processes on this test's bus whose command line holds the argument.
QList<qint64> processesWithArgument(const QByteArray& argument) {
    QList<qint64> found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool ok = false;
        const qint64 n = pid.toLongLong(&ok);
        if (!ok)
            continue;
        QFile cmdline(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        // procfs reports a size of 0: read, do not rely on readAll's size.
        if (cmdline.open(QIODevice::ReadOnly) &&
            cmdline.read(1 << 16).split('\0').contains(argument) && processAlive(n) &&
            onThisBus(pid))
            found.append(n);
    }
    return found;
}

// Sum of per-channel differences of two equally sized images.
qint64 difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return std::numeric_limits<qint64>::max();
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum;
}

} // namespace

class TestRemindersEndToEnd final : public QObject {
    Q_OBJECT

public:
    explicit TestRemindersEndToEnd(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), {QStringLiteral("text/plain")});
        m_sandbox.writeMimeinfoCache({{QStringLiteral("text/plain"), {viewerId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private:
    test::XdgSandbox& m_sandbox;
    WindowManager m_wm;
    QProcess m_dunst;
    // Choosers the agent started for this test, ended by it if still there.
    QList<qint64> m_started;

    QString storePath() const { return ReminderStore::standard().filePath(); }
    QString notificationsLog() const { return m_sandbox.root() + QStringLiteral("/notifications"); }

    // Adds a reminder through the program's notification centre, which
    // starts the agent for real.
    void schedule(const QUrl& file, qint64 seconds) {
        DbusNotificationCenter center(
            QDBusConnection::sessionBus(), ReminderStore::standard(),
            {QStringLiteral(MARVOLINE_EXECUTABLE), QStringLiteral("--reminder-agent")});
        QVERIFY(center.add(laterNotificationRequest(
            file, NotificationTrigger::timeInterval(seconds), currentSecondsSince1970())));
    }

    // Where a control of a chooser showing the files is, in window
    // coordinates: the same chooser laid out here, at the size of the window.
    // asAnswer: the chooser shows the first file as a reminder answer.
    static void showIn(AppDelegate& twin, const QList<QUrl>& files, bool asAnswer) {
        if (asAnswer)
            twin.didReceiveNotificationResponse(
                {{QStringLiteral("filePath"), QFile::decodeName(localPath(files.first()))}}, [] {});
        else
            twin.openUrls(files);
    }

    QPoint controlPoint(const QString& window, const QList<QUrl>& files,
                        const std::function<QWidget*(MainViewController*)>& control,
                        bool asAnswer = false) {
        AppDelegate twin;
        showIn(twin, files, asAnswer);
        MainViewController* vc = twin.mainViewController;
        vc->pauseTimer();
        if (!QTest::qWaitForWindowExposed(twin.window))
            return {};
        (void)QTest::qWaitFor([&] { return windowGeometry(window).size() == twin.window->size(); },
                              4000);
        // A chooser that showed wider options earlier keeps its width: the
        // twin takes it, so the centred rows lie where they lie there.
        const QSize shown = windowGeometry(window).size();
        if (shown.isValid() && shown != twin.window->size()) {
            twin.window->resize(shown);
            (void)QTest::qWaitFor([&] { return twin.window->size() == shown; }, 4000);
        }
        QCoreApplication::processEvents();
        QWidget* w = control(vc);
        return w->mapTo(twin.window, w->rect().center());
    }

    void click(const QString& window, const QPoint& at) {
        QTest::qWait(300); // a twin's window is gone from the screen
        xdotool({QStringLiteral("windowraise"), window});
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                 QStringLiteral("1")});
    }

    // The options row and everything below it, as a window shows it.
    static QImage lowerPart(WId window, int top) {
        const QImage whole = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
        return whole.copy(0, top, whole.width(), whole.height() - top);
    }

    // An in-process chooser in the state the files bring, grabbed.
    QImage twinLowerPart(const QUrl& file, bool asReminderAnswer, const QSize& size, int* top) {
        AppDelegate twin;
        showIn(twin, {file}, asReminderAnswer);
        MainViewController* vc = twin.mainViewController;
        if (!vc || !QTest::qWaitForWindowExposed(twin.window))
            return {};
        vc->pauseTimer();
        twin.window->resize(size);
        (void)QTest::qWaitFor([&] { return twin.window->size() == size; }, 4000);
        QTest::qWait(300); // the window manager's own moves, and painting
        QCoreApplication::processEvents();
        *top = vc->appContainer->mapTo(twin.window, QPoint(0, vc->appContainer->height())).y();
        return lowerPart(twin.window->winId(), *top);
    }

    QStringList recordedNotifications() const {
        QFile f(notificationsLog());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void waitUntilAgentIsGone() {
        QTRY_VERIFY_WITH_TIMEOUT(!busNameOwned(agentName), 10000);
        QVERIFY(ReminderStore::standard().reminders().isEmpty());
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus");
        QVERIFY2(!busNameOwned(QStringLiteral("org.freedesktop.Notifications")),
                 "needs a private session bus (dbus-run-session)");
        const QString recorder = m_sandbox.root() + QStringLiteral("/bin/record-notification");
        QFile script(recorder);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(notificationRecorder);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString configPath = m_sandbox.root() + QStringLiteral("/dunstrc");
        QFile config(configPath);
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QString::fromLatin1(dunstConfig).arg(recorder).toUtf8());
        config.close();

        m_dunst.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_dunst.start(QStringLiteral("dunst"), {QStringLiteral("-config"), configPath});
        QVERIFY2(m_dunst.waitForStarted(), "needs dunst");
        QTRY_VERIFY_WITH_TIMEOUT(busNameOwned(QStringLiteral("org.freedesktop.Notifications")),
                                 10000);
    }

    void cleanupTestCase() {
        // No agent may outlive the test; one that is still here was started
        // by this test, and ends with it.
        const QList<qint64> agents = processesWithArgument("--reminder-agent");
        for (qint64 pid : agents)
            ::kill(pid_t(pid), SIGTERM);
        const bool agentLeft = !agents.isEmpty();
        m_dunst.terminate();
        m_dunst.waitForFinished(3000);
        QVERIFY2(!agentLeft, "a reminder agent was still running");
    }

    void cleanup() {
        for (qint64 pid : std::as_const(m_started)) {
            if (processAlive(pid))
                ::kill(pid_t(pid), SIGTERM);
        }
        m_started.clear();
    }

    void init() {
        m_sandbox.clearRecords();
        QFile::remove(notificationsLog());
        dunstctl({QStringLiteral("close-all")});
    }

    void laterBringsTheChooserBackWithoutCountdown() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("e2e/later.txt"), "later\n");
        QProcess chooser;
        chooser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chooser.start(QStringLiteral(MARVOLINE_EXECUTABLE), {QFile::decodeName(localPath(file))});
        QVERIFY(chooser.waitForStarted());
        const QString window = findWindow(chooser.processId());
        QVERIFY2(!window.isEmpty(), "no chooser window appeared");

        // Later, then "In 10 seconds", the menu's first item.
        const QPoint later =
            controlPoint(window, {file}, [](MainViewController* vc) { return vc->laterPopUp; });
        QVERIFY(!menuIsOpen(chooser.processId()));
        click(window, later);
        QTRY_VERIFY(menuIsOpen(chooser.processId()));
        xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")});
        QVERIFY2(chooser.waitForFinished(10000), "the chooser did not quit after Later");
        QElapsedTimer sinceQuit;
        sinceQuit.start();
        QCOMPARE(chooser.exitCode(), 0);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
        const QList<StoredReminder> stored = ReminderStore::standard().reminders();
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first().userInfo.value(QStringLiteral("filePath")).toString().toUtf8(),
                 localPath(file));
        QTRY_VERIFY_WITH_TIMEOUT(busNameOwned(agentName), 5000);

        // Shown about ten seconds after it was chosen, not before.
        QTRY_COMPARE_WITH_TIMEOUT(displayedNotifications(), 1, 20000);
        QVERIFY2(sinceQuit.elapsed() >= 8000, qPrintable(QString::number(sinceQuit.elapsed())));
        QTRY_COMPARE(recordedNotifications().size(), 1);
        QCOMPARE(recordedNotifications().first(),
                 qtTrId("ui.later.notificationTitle") +
                     QStringLiteral("|later.txt|org.marvoline.Marvoline|0"));

        // Clicking it starts a chooser for the file, which no countdown ends.
        xdotool({QStringLiteral("mousemove"), QStringLiteral("0"), QStringLiteral("0")});
        dunstctl({QStringLiteral("action"), QStringLiteral("0")});
        QStringList back;
        QTRY_VERIFY_WITH_TIMEOUT(!(back = windowsNamed(QStringLiteral("later.txt"))).isEmpty(),
                                 10000);
        QCOMPARE(back.size(), 1);
        const qint64 pid = xdotool({QStringLiteral("getwindowpid"), back.first()}).toLongLong();
        QVERIFY(pid > 0);
        waitUntilAgentIsGone();

        // The window shows the state of a reminder answer: no countdown
        // section, no set-default check box (which this file would have).
        const QSize size = windowGeometry(back.first()).size();
        int top = 0;
        const QImage answer = twinLowerPart(file, true, size, &top);
        const QImage opened = twinLowerPart(file, false, size, &top);
        QVERIFY(!answer.isNull() && !opened.isNull());
        QVERIFY2(difference(answer, opened) > 0, "the two states look alike");
        const QImage shown = lowerPart(back.first().toULongLong(), top);
        QVERIFY2(difference(shown, answer) < difference(shown, opened),
                 "the chooser is not in the reminder-answer state");

        // Well past the countdown's length: nothing opened, still there.
        QTest::qWait(int(MainViewController::timerDuration * 1000) + 1500);
        QVERIFY(processAlive(pid));
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());

        m_started.append(pid);
        const QPoint close = controlPoint(
            back.first(), {file}, [](MainViewController* vc) { return vc->closeButton; }, true);
        click(back.first(), close);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 5000);
    }

    void dismissingBringsNothingBack() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("e2e/dismissed.txt"), "d\n");
        schedule(file, 1);
        QTRY_COMPARE_WITH_TIMEOUT(displayedNotifications(), 1, 10000);
        dunstctl({QStringLiteral("close")});
        waitUntilAgentIsGone();
        // The agent is gone: nothing is left that could show the file.
        QVERIFY(windowsNamed(QStringLiteral("dismissed.txt")).isEmpty());
        QVERIFY(processesWithArgument(fileUrlFromPath(localPath(file)).toEncoded()).isEmpty());
    }

    // Two reminders for one file a second apart: each starts an agent, one
    // agent shows both.
    void twoRemindersOneAgent() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("e2e/twice.txt"), "2\n");
        schedule(file, 2);
        QTest::qWait(1000);
        schedule(file, 2);
        QCOMPARE(ReminderStore::standard().reminders().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(displayedNotifications(), 2, 10000);
        QTRY_COMPARE(processesWithArgument("--reminder-agent").size(), 1);
        dunstctl({QStringLiteral("close-all")});
        waitUntilAgentIsGone();
    }

    void answerForADeletedFileShowsNothing() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("e2e/deleted.txt"), "x\n");
        schedule(file, 1);
        QVERIFY(QFile::remove(QFile::decodeName(localPath(file))));
        QTRY_COMPARE_WITH_TIMEOUT(displayedNotifications(), 1, 10000);
        dunstctl({QStringLiteral("action"), QStringLiteral("0")});
        // A chooser process starts with the answer and ends after its launch
        // check, without a window.
        const QByteArray uri = fileUrlFromPath(localPath(file)).toEncoded();
        QList<qint64> started;
        QTRY_VERIFY_WITH_TIMEOUT(!(started = processesWithArgument(uri)).isEmpty(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(started.first()), 5000);
        QVERIFY(windowsNamed(QStringLiteral("deleted.txt")).isEmpty());
        waitUntilAgentIsGone();
    }

    void answerReplacesTheFilesOfARunningChooser() {
        const QUrl a = m_sandbox.writeFile(QStringLiteral("e2e/one.txt"), "1\n");
        const QUrl b = m_sandbox.writeFile(QStringLiteral("e2e/two.txt"), "2\n");
        const QUrl reminded = m_sandbox.writeFile(QStringLiteral("e2e/reminded.txt"), "r\n");
        QProcess chooser;
        chooser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chooser.start(QStringLiteral(MARVOLINE_EXECUTABLE),
                      {QFile::decodeName(localPath(a)), QFile::decodeName(localPath(b))});
        QVERIFY(chooser.waitForStarted());
        const QString window = findWindow(chooser.processId());
        QVERIFY(!window.isEmpty());
        // Opening the Later menu stops the countdown; Escape closes it again.
        click(window,
              controlPoint(window, {a, b}, [](MainViewController* vc) { return vc->laterPopUp; }));
        QTRY_VERIFY(menuIsOpen(chooser.processId()));
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QTRY_COMPARE(xdotool({QStringLiteral("getwindowname"), window}).trimmed(),
                     QStringLiteral("one.txt (2件)"));

        schedule(reminded, 1);
        QTRY_COMPARE_WITH_TIMEOUT(displayedNotifications(), 1, 10000);
        dunstctl({QStringLiteral("action"), QStringLiteral("0")});
        QTRY_COMPARE_WITH_TIMEOUT(xdotool({QStringLiteral("getwindowname"), window}).trimmed(),
                                  QStringLiteral("reminded.txt"), 10000);
        waitUntilAgentIsGone();
        // The same chooser took it; no other one started.
        QCOMPARE(chooser.state(), QProcess::Running);
        QCOMPARE(windowsNamed(QStringLiteral("reminded.txt")), QStringList{window});
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());

        const QPoint close = controlPoint(
            window, {reminded}, [](MainViewController* vc) { return vc->closeButton; }, true);
        click(window, close);
        QVERIFY(chooser.waitForFinished(5000));
    }
};

MARVOLINE_TEST_MAIN(TestRemindersEndToEnd)
#include "tst_e2e_reminders.moc"
