// Reminders end to end, on a real X server with a window manager, a private
// session bus and dunst as the notification server: the Later menu schedules
// a reminder and the chooser quits; the reminder agent, a process of its own,
// shows the notification when it is due; answering it brings the chooser
// back without countdown, into a new process or into the chooser that runs.
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
#include <QToolButton>

#include <csignal>

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
        QVERIFY(center.add(laterNotificationRequest(
            file, NotificationTrigger::timeInterval(seconds), currentSecondsSince1970())));
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

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus");
        QVERIFY2(!busNameOwned(notificationService),
                 "needs a private session bus (dbus-run-session)");
        const QUrl recorder = m_sandbox.writeFile(u"dunst/record"_s, notificationRecorder);
        QVERIFY(QFile::setPermissions(recorder.toLocalFile(), QFile::ReadOwner | QFile::ExeOwner));
        const QUrl config = m_sandbox.writeFile(
            u"dunst/dunstrc"_s,
            QString::fromLatin1(dunstConfig).arg(recorder.toLocalFile()).toUtf8());
        m_dunst.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_dunst.start(u"dunst"_s, {u"-config"_s, config.toLocalFile()});
        QVERIFY2(m_dunst.waitForStarted(), "needs dunst");
        QTRY_VERIFY_WITH_TIMEOUT(busNameOwned(notificationService), 10000);
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
        QTRY_COMPARE(recordedNotifications(),
                     QStringList{qtTrId("ui.later.notificationTitle") +
                                 u"|later.txt|org.marvoline.Marvoline|0"_s});

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
};

MARVOLINE_TEST_MAIN(TestRemindersEndToEnd)
#include "tst_e2e_reminders.moc"
