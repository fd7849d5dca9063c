// Reminders end to end, on a real X server with a window manager, a private
// session bus and dunst as the notification server: the Later menu schedules
// a reminder and the chooser quits; the reminder agent, a process of its own,
// shows the notification when it is due; answering it brings the chooser
// back without countdown, into a new process or into the chooser that runs.
// Where dunst cannot misbehave, a notification server of a few lines of
// Python stands in for it (support/fake_notifications.py).
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "chooser/LaterReminder.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/ReminderStore.h"
#include "platform/dbus/DbusNotificationCenter.h"
#include "platform/dbus/ReminderAgent.h"
#include "views/MenuButton.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QToolButton>

#include <csignal>
#include <memory>

using namespace marvoline;
using namespace marvoline::test;
using namespace Qt::StringLiterals;

namespace {

const QString agentName = QString::fromLatin1(ReminderAgent::busName);
const QString notificationService = u"org.freedesktop.Notifications"_s;

// dunst for this test: a left click runs the default action (its own default
// only closes), two alike notifications are not merged into one, and every
// notification shown is written to a file next to the script.
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
printf '%s|%s|%s|%s\n' "$DUNST_SUMMARY" "$DUNST_BODY" "$DUNST_DESKTOP_ENTRY" "$DUNST_TIMEOUT" >> "$(dirname "$0")/notifications"
)";

QString dunstctl(const QStringList& args) {
    return runTool(u"dunstctl"_s, args).trimmed();
}

int displayedNotifications() {
    return dunstctl({u"count"_s, u"displayed"_s}).toInt();
}

bool busNameOwned(const QString& name) {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name);
}

// Visible windows whose title is exactly the text.
QStringList windowsNamed(const QString& title) {
    return xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s,
                    u'^' + QRegularExpression::escape(title) + u'$'})
        .split(u'\n', Qt::SkipEmptyParts);
}

// Whether the process shows a pop-up (a menu) besides its window.
bool menuIsOpen(qint64 pid) {
    return visibleWindowsOf(pid).size() >= 2;
}

// A process that has ended but was not reaped yet (the agent's choosers are
// nobody's children) counts as ended.
bool processAlive(qint64 pid) {
    const QByteArray line = XdgSandbox::readBytes(u"/proc/%1/stat"_s.arg(pid));
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName > 0 && line.mid(afterName + 2, 1) != "Z";
}

// The notification server of support/fake_notifications.py, started with the
// options; Notify and CloseNotification calls are read from its output.
class FakeNotificationServer {
public:
    explicit FakeNotificationServer(const QStringList& options) {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(u"/usr/bin/python3"_s,
                        QStringList{QStringLiteral(FAKE_NOTIFICATIONS)} + options);
    }
    ~FakeNotificationServer() {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    bool waitUntilReady() {
        return QTest::qWaitFor(
            [this] {
                (void)calls();
                return m_ready;
            },
            10000);
    }
    // The calls it has had, in order; method is "Notify" or "CloseNotification".
    QList<QJsonObject> calls(const QString& method = {}) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line == "\"ready\"")
                m_ready = true;
            else
                m_calls.append(QJsonDocument::fromJson(line).object());
        }
        QList<QJsonObject> matching;
        for (const QJsonObject& call : std::as_const(m_calls)) {
            if (method.isEmpty() || call.value(u"call"_s).toString() == method)
                matching.append(call);
        }
        return matching;
    }
    // The user's answer: the activation token (when given), then the action.
    void invoke(int id, const QString& action, const QString& token = {}) {
        send(u"invoke %1 %2 %3"_s.arg(id).arg(action, token));
    }
    void close(int id, int reason) { send(u"close %1 %2"_s.arg(id).arg(reason)); }

private:
    void send(const QString& line) {
        m_process.write(line.trimmed().toUtf8() + '\n');
        m_process.waitForBytesWritten(3000);
    }

    QProcess m_process;
    QList<QJsonObject> m_calls;
    bool m_ready = false;
};

// Asks the running agent to read the store again, without waiting.
void reloadAgent() {
    QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
        agentName, QString::fromLatin1(ReminderAgent::objectPath),
        QString::fromLatin1(ReminderAgent::interfaceName), u"Reload"_s));
}

// A reminder for the file, due after the seconds, straight into the store.
StoredReminder storedReminder(const QUrl& file, qint64 seconds) {
    const NotificationRequest request = laterNotificationRequest(
        file, NotificationTrigger::timeInterval(seconds), currentSecondsSince1970());
    return {request.identifier, request.content.title, request.content.body,
            request.content.userInfo, QDateTime::currentDateTimeUtc().addSecs(seconds)};
}

// Reminder agents on the bus: the one that shows reminders and any queued
// behind it for the name.
int agentsOnTheBus() {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                                       u"org.freedesktop.DBus"_s, u"ListQueuedOwners"_s)
        << agentName);
    return reply.arguments().value(0).toStringList().size();
}

} // namespace

class TestRemindersEndToEnd final : public QObject {
    Q_OBJECT

public:
    explicit TestRemindersEndToEnd(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(viewerId, u"Viewer"_s, {u"text/plain"_s});
        m_sandbox.writeMimeinfoCache({{u"text/plain"_s, {viewerId}}});
        m_sandbox.writeDefaults({{u"text/plain"_s, viewerId}});
    }

private:
    XdgSandbox& m_sandbox;
    WindowManager m_wm;
    QProcess m_dunst;

    QString notificationsLog() const { return m_sandbox.root() + u"/files/dunst/notifications"_s; }

    // Adds a reminder through the program's notification centre, which
    // starts the agent for real.
    void schedule(const QUrl& file, qint64 seconds) {
        DbusNotificationCenter center(
            QDBusConnection::sessionBus(), ReminderStore::standard(),
            {QStringLiteral(MARVOLINE_EXECUTABLE), u"--reminder-agent"_s});
        QVERIFY(center.addNow({laterNotificationRequest(
            file, NotificationTrigger::timeInterval(seconds), currentSecondsSince1970())}));
    }

    // Clicks the chooser's Later control and waits for its menu.
    static void openLaterMenu(ChooserProcess& chooser) {
        const std::optional<QPoint> later =
            chooser.locate([](MainViewController& vc) { return vc.laterPopUp; });
        QVERIFY(later);
        QVERIFY(!menuIsOpen(chooser.process.processId()));
        chooser.click(*later);
        QTRY_VERIFY(menuIsOpen(chooser.process.processId()));
    }

    QStringList recordedNotifications() const {
        return QString::fromUtf8(XdgSandbox::readBytes(notificationsLog()))
            .split(u'\n', Qt::SkipEmptyParts);
    }

    void waitUntilAgentIsGone() {
        QTRY_VERIFY_WITH_TIMEOUT(!busNameOwned(agentName), 10000);
        QVERIFY(ReminderStore::standard().reminders().isEmpty());
    }

    void startDunst() {
        m_dunst.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_dunst.start(u"dunst"_s, {u"-config"_s, m_sandbox.root() + u"/files/dunst/dunstrc"_s});
        QVERIFY2(m_dunst.waitForStarted(), "needs dunst");
        QTRY_VERIFY_WITH_TIMEOUT(busNameOwned(notificationService), 10000);
    }

    // Makes way for a fake notification server; the next test has dunst again.
    void stopDunst() {
        m_dunst.terminate();
        QVERIFY(m_dunst.waitForFinished(5000));
        QTRY_VERIFY(!busNameOwned(notificationService));
    }

    // The fake server started with the options, with the bus name.
    std::unique_ptr<FakeNotificationServer> fakeServer(const QStringList& options = {}) {
        stopDunst();
        auto server = std::make_unique<FakeNotificationServer>(options);
        if (!server->waitUntilReady())
            return nullptr;
        return server;
    }

    // Empties the store behind the agent's back and has it notice.
    void forgetAllReminders() {
        ReminderStore store = ReminderStore::standard();
        for (const StoredReminder& reminder : store.reminders())
            QVERIFY(store.remove(reminder.identifier));
        reloadAgent();
        waitUntilAgentIsGone();
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus");
        QVERIFY2(!busNameOwned(notificationService),
                 "needs a private session bus (dbus-run-session)");
        const QUrl recorder = m_sandbox.writeFile(u"dunst/record"_s, notificationRecorder);
        QVERIFY(QFile::setPermissions(recorder.toLocalFile(), QFile::ReadOwner | QFile::ExeOwner));
        m_sandbox.writeFile(u"dunst/dunstrc"_s,
                            QString::fromLatin1(dunstConfig).arg(recorder.toLocalFile()).toUtf8());
        startDunst();
    }

    void cleanupTestCase() {
        // No agent may outlive the test; one that is still here was started
        // by this test, and ends with it.
        const uint agent = QDBusConnection::sessionBus().interface()->servicePid(agentName);
        if (agent != 0)
            ::kill(pid_t(agent), SIGTERM);
        m_dunst.terminate();
        m_dunst.waitForFinished(3000);
        QVERIFY2(agent == 0, "a reminder agent was still running");
    }

    void init() {
        m_sandbox.clearRecords();
        QFile::remove(notificationsLog());
        if (m_dunst.state() == QProcess::NotRunning)
            startDunst();
        dunstctl({u"close-all"_s});
    }

    void laterBringsTheChooserBackWithoutCountdown() {
        const QUrl file = m_sandbox.writeFile(u"e2e/later.txt"_s, "later\n");
        ChooserProcess chooser({file});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        // Later, then "In 10 seconds", the menu's first item.
        openLaterMenu(chooser);
        xdotool({u"key"_s, u"Down"_s, u"Return"_s});
        QVERIFY2(chooser.endsWell(10000), "the chooser did not quit after Later");
        QElapsedTimer sinceQuit;
        sinceQuit.start();
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());

        // Shown about ten seconds after it was chosen, not before.
        QTRY_COMPARE_WITH_TIMEOUT(displayedNotifications(), 1, 20000);
        QVERIFY2(sinceQuit.elapsed() >= 8000, qPrintable(QString::number(sinceQuit.elapsed())));
        // Its title names the file, its body the folder.
        QTRY_COMPARE(recordedNotifications(),
                     QStringList{qtTrId("ui.reminder.title").arg(u"later.txt"_s) + u'|' +
                                 QFileInfo(file.toLocalFile()).path() +
                                 u"|org.marvoline.Marvoline|0"_s});

        // Clicking it starts a chooser for the file, which no countdown ends:
        // well past the countdown's length it is still there, nothing opened.
        xdotool({u"mousemove"_s, u"0"_s, u"0"_s});
        dunstctl({u"action"_s, u"0"_s});
        QStringList back;
        QTRY_VERIFY_WITH_TIMEOUT(!(back = windowsNamed(u"later.txt"_s)).isEmpty(), 10000);
        QCOMPARE(back.size(), 1);
        const qint64 pid = xdotool({u"getwindowpid"_s, back.first()}).toLongLong();
        QVERIFY(pid > 0);
        waitUntilAgentIsGone();
        QTest::qWait(int(MainViewController::timerDuration * 1000) + 1500);
        const bool alive = processAlive(pid);
        ::kill(pid_t(pid), SIGTERM); // not this test's child: ended by hand
        QVERIFY(alive);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
    }

    // Two reminders for one file a second apart: each starts an agent, one
    // agent shows both. Dismissed, they bring nothing back; the agent leaves.
    void twoRemindersOneAgentNothingBackWhenDismissed() {
        const QUrl file = m_sandbox.writeFile(u"e2e/twice.txt"_s, "2\n");
        schedule(file, 2);
        QTest::qWait(1000);
        schedule(file, 2);
        QCOMPARE(ReminderStore::standard().reminders().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(displayedNotifications(), 2, 10000);
        QTRY_COMPARE(agentsOnTheBus(), 1);
        dunstctl({u"close-all"_s});
        waitUntilAgentIsGone();
        QVERIFY(!QTest::qWaitFor([] { return !windowsNamed(u"twice.txt"_s).isEmpty(); }, 3000));
    }

    void answerReplacesTheFilesOfARunningChooser() {
        ChooserProcess chooser({m_sandbox.writeFile(u"e2e/one.txt"_s, "1\n"),
                                m_sandbox.writeFile(u"e2e/two.txt"_s, "2\n")});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        // Opening the Later menu stops the countdown; Escape closes it again.
        openLaterMenu(chooser);
        xdotool({u"key"_s, u"Escape"_s});
        const auto title = [&] { return xdotool({u"getwindowname"_s, chooser.window}).trimmed(); };
        QTRY_COMPARE(title(), u"one.txt (2件)"_s);

        schedule(m_sandbox.writeFile(u"e2e/reminded.txt"_s, "r\n"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(displayedNotifications(), 1, 10000);
        dunstctl({u"action"_s, u"0"_s});
        QTRY_COMPARE_WITH_TIMEOUT(title(), u"reminded.txt"_s, 10000);
        waitUntilAgentIsGone();
        // The same chooser took it; no other one started, nothing opened.
        QCOMPARE(windowsNamed(u"reminded.txt"_s), QStringList{chooser.window});
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
    }

    // Open brings a minimized chooser back, with the token the server sent
    // just before the answer as the window's startup ID.
    void openBringsBackAMinimizedChooserWithTheServersToken() {
        const auto server = fakeServer();
        QVERIFY(server);
        ChooserProcess chooser({m_sandbox.writeFile(u"e2e/shown.txt"_s, "s\n")});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        openLaterMenu(chooser); // stops the countdown
        xdotool({u"key"_s, u"Escape"_s});
        QTRY_VERIFY(!menuIsOpen(chooser.process.processId()));
        xdotool({u"windowminimize"_s, chooser.window});
        QTRY_VERIFY(windowsNamed(u"shown.txt"_s).isEmpty());

        schedule(m_sandbox.writeFile(u"e2e/back.txt"_s, "b\n"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(server->calls(u"Notify"_s).size(), 1, 10000);
        const QJsonObject notify = server->calls(u"Notify"_s).first();
        QCOMPARE(notify.value(u"summary"_s).toString(),
                 qtTrId("ui.reminder.title").arg(u"back.txt"_s));
        QCOMPARE(notify.value(u"icon"_s).toString(), u"org.marvoline.Marvoline"_s);
        QCOMPARE(notify.value(u"actions"_s).toVariant().toStringList(),
                 (QStringList{u"default"_s, qtTrId("ui.later.notificationShow"), u"open"_s,
                              qtTrId("ui.reminder.open"), u"remind-10min"_s,
                              qtTrId("ui.reminder.in10min")}));

        const QString token = u"reminder-test-%1_TIME0"_s.arg(QDateTime::currentMSecsSinceEpoch());
        server->invoke(notify.value(u"id"_s).toInt(), u"open"_s, token);
        QTRY_COMPARE_WITH_TIMEOUT(windowsNamed(u"back.txt"_s), QStringList{chooser.window}, 10000);
        QVERIFY(runTool(u"xprop"_s, {u"-id"_s, chooser.window, u"_NET_STARTUP_ID"_s})
                    .contains(u'"' + token + u'"'));
        waitUntilAgentIsGone();
        QTRY_COMPARE(server->calls(u"CloseNotification"_s).size(), 1);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
    }

    void eachDueReminderIsPostedOnce_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("reminders");
        QTest::addColumn<int>("watchMs"); // how long no reminder may come twice
        // Notify answered only after QtDBus's usual 25 seconds.
        QTest::newRow("late answer") << QStringList{u"--delay"_s, u"27"_s} << 1 << 29000;
        QTest::newRow("one ID for all") << QStringList{u"--constant-id"_s, u"7"_s} << 3 << 4000;
    }
    void eachDueReminderIsPostedOnce() {
        QFETCH(QStringList, options);
        QFETCH(int, reminders);
        QFETCH(int, watchMs);
        const auto server = fakeServer(options);
        QVERIFY(server);
        for (int i = 0; i < reminders; ++i)
            schedule(m_sandbox.writeFile(u"e2e/once%1.txt"_s.arg(i), "o\n"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(server->calls(u"Notify"_s).size(), reminders, 10000);

        // The agent is made to look at the store every second meanwhile.
        QElapsedTimer sinceReload;
        sinceReload.start();
        const bool postedAgain = QTest::qWaitFor(
            [&] {
                if (sinceReload.elapsed() >= 1000) {
                    reloadAgent();
                    sinceReload.restart();
                }
                return server->calls(u"Notify"_s).size() > reminders;
            },
            watchMs);
        QVERIFY(!postedAgain);

        // The answer reaches the reminder shown last under its ID, however
        // late that ID came: put off by ten minutes, it is not shown again yet.
        const QDateTime answered = QDateTime::currentDateTimeUtc();
        server->invoke(server->calls(u"Notify"_s).last().value(u"id"_s).toInt(), u"remind-10min"_s);
        const auto putOff = [&] {
            qsizetype count = 0;
            for (const StoredReminder& reminder : ReminderStore::standard().reminders())
                count += reminder.due >= answered.addSecs(9 * 60) ? 1 : 0;
            return count;
        };
        QTRY_COMPARE(putOff(), qsizetype(1));
        QCOMPARE(ReminderStore::standard().reminders().size(), qsizetype(reminders));
        reloadAgent();
        QVERIFY(
            !QTest::qWaitFor([&] { return server->calls(u"Notify"_s).size() > reminders; }, 2000));
        forgetAllReminders();
    }

    // The chooser started for an answer cannot reach a display: the reminder
    // stays in the store and is shown again.
    void failedChooserStartKeepsTheReminder() {
        const auto server = fakeServer();
        QVERIFY(server);
        const StoredReminder reminder =
            storedReminder(m_sandbox.writeFile(u"e2e/kept.txt"_s, "k\n"), 0);
        QVERIFY(ReminderStore::standard().add(reminder));
        QProcess agent;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"WAYLAND_DISPLAY"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        agent.setProcessEnvironment(environment);
        agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        agent.start(QStringLiteral(MARVOLINE_EXECUTABLE), {u"--reminder-agent"_s});
        QTRY_COMPARE_WITH_TIMEOUT(server->calls(u"Notify"_s).size(), 1, 10000);
        server->invoke(server->calls(u"Notify"_s).first().value(u"id"_s).toInt(), u"default"_s);

        QTRY_COMPARE_WITH_TIMEOUT(server->calls(u"Notify"_s).size(), 2, 15000);
        const QList<StoredReminder> kept = ReminderStore::standard().reminders();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept.first().identifier, reminder.identifier);
        // Dismissed, it is gone, and the agent with it.
        server->close(server->calls(u"Notify"_s).last().value(u"id"_s).toInt(), 2);
        QVERIFY(agent.waitForFinished(10000));
        waitUntilAgentIsGone();
    }

    void killedAgentIsBackWithTheNextChooser() {
        schedule(m_sandbox.writeFile(u"e2e/inAnHour.txt"_s, "h\n"), 3600);
        QTRY_VERIFY_WITH_TIMEOUT(busNameOwned(agentName), 10000);
        const uint agent = QDBusConnection::sessionBus().interface()->servicePid(agentName);
        QVERIFY(agent != 0);
        ::kill(pid_t(agent), SIGKILL);
        QTRY_VERIFY(!busNameOwned(agentName));
        QCOMPARE(ReminderStore::standard().reminders().size(), 1);
        {
            ChooserProcess chooser({m_sandbox.writeFile(u"e2e/any.txt"_s, "a\n")});
            QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
            QTRY_VERIFY_WITH_TIMEOUT(busNameOwned(agentName), 10000);
        }
        forgetAllReminders();
    }
};

MARVOLINE_TEST_MAIN(TestRemindersEndToEnd)
#include "tst_e2e_reminders.moc"
