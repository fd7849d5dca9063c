// The Later menu and its reminders: the custom delay's parsing, the triggers
// and the request, the reminder store, and the chooser's choices against the
// real notification centre on this test's private bus (its store in the
// sandbox; no agent is started here).
#include "support/TestMain.h"

#include "chooser/LaterReminder.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/ReminderStore.h"
#include "platform/dbus/DbusNotificationCenter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace marvoline;
using namespace Qt::StringLiterals;

namespace {

QDateTime local(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::LocalTime);
}

QDateTime utc(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

// When the custom delays of the parsing cases were chosen.
const QDateTime chosenAt = utc(2026, 12, 7, 15, 0);

// Answers the custom delay dialog once it is up: types text, then presses the
// button of the role.
void answerDialog(const QString& text, QDialogButtonBox::ButtonRole role) {
    QTimer::singleShot(0, qApp, [text, role] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), u"customTimerPicker"_s);
        dialog->findChild<QLineEdit*>()->setText(text);
        for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons()) {
            if (dialog->findChild<QDialogButtonBox*>()->buttonRole(b) == role)
                b->click();
        }
    });
}

// How the notification centre of a choice is set up.
enum class Center { Granting, NoBus, StoreUnwritable };

} // namespace

Q_DECLARE_METATYPE(Center)

class TestLater final : public QObject {
    Q_OBJECT

public:
    explicit TestLater(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private:
    test::XdgSandbox& m_sandbox;
    std::unique_ptr<DbusNotificationCenter> m_center;
    QString m_storePath;

    // The real centre with its store in the sandbox; with a notification
    // service on this test's bus, unless it has no bus or cannot write.
    void useCenter(Center kind) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());
        const QString service = u"org.freedesktop.Notifications"_s;
        if (!bus.interface()->isServiceRegistered(service))
            QVERIFY(bus.registerService(service));
        m_storePath = m_sandbox.stateHome() + u"/later/reminders.json"_s;
        QFile::remove(m_storePath);
        if (kind == Center::NoBus)
            bus = QDBusConnection(u"never-connected"_s);
        if (kind == Center::StoreUnwritable) {
            // Its folder would be below a file.
            QFile blocker(m_sandbox.stateHome() + u"/blocker"_s);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            m_storePath = blocker.fileName() + u"/reminders.json"_s;
        }
        // The centre in use hands its delegate over, so it goes only after the new one is in.
        auto center = std::make_unique<DbusNotificationCenter>(bus, ReminderStore(m_storePath),
                                                               QStringList());
        platform::setNotificationCenter(center.get());
        m_center = std::move(center);
    }
    QList<StoredReminder> stored() const { return ReminderStore(m_storePath).reminders(); }

private Q_SLOTS:
    void cleanup() {
        platform::setNotificationCenter(nullptr);
        m_center.reset();
    }

    // Accepted counts are due that many minutes after they were chosen; counts whose seconds fit
    // in 64 bits but not in a calendar are due at the calendar's end and stay pending for good.
    void customDelayParsing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("minutes"); // 0: refused
        QTest::addColumn<QDateTime>("due");  // chosen at chosenAt
        const QDateTime end(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
        QTest::newRow("plus sign") << "+15" << qint64(15) << utc(2026, 12, 7, 15, 15);
        QTest::newRow("a year of minutes") << "525600" << qint64(525600) << utc(2027, 12, 7, 15, 0);
        QTest::newRow("zero") << "0" << qint64(0) << QDateTime();
        QTest::newRow("negative") << "-5" << qint64(0) << QDateTime();
        QTest::newRow("letters") << "abc" << qint64(0) << QDateTime();
        QTest::newRow("fullwidth digits") << u"１５"_s << qint64(0) << QDateTime();
        // A minute short of the calendar's end, and one past it.
        const qint64 toEnd = chosenAt.secsTo(end) / 60;
        QTest::newRow("a minute before the end")
            << QString::number(toEnd) << toEnd << chosenAt.addSecs(toEnd * 60);
        QTest::newRow("a minute past the end") << QString::number(toEnd + 1) << toEnd + 1 << end;
        // (2^63 - 1) / 60 rounded down is the largest count whose seconds fit.
        QTest::newRow("largest") << "153722867280912930" << qint64(153722867280912930) << end;
        QTest::newRow("one past largest") << "153722867280912931" << qint64(0) << QDateTime();
        QTest::newRow("far too large") << "99999999999999999999999" << qint64(0) << QDateTime();
    }
    void customDelayParsing() {
        QFETCH(QString, text);
        QFETCH(qint64, minutes);
        QFETCH(QDateTime, due);
        const std::optional<qint64> parsed = parseCustomDelayMinutes(text);
        if (minutes == 0) {
            QVERIFY2(!parsed, qPrintable(QString::number(parsed.value_or(0))));
            return;
        }
        QCOMPARE(parsed, std::optional<qint64>(minutes));
        QCOMPARE(laterTriggerForMinutes(*parsed).dueTime(chosenAt), due);
    }

    // "Tomorrow at 9:00" is the next local day's 9:00, whatever the clocks do
    // that night. The test runs with TZ=Europe/Berlin (CTest environment).
    void tomorrowAtNine_data() {
        QTest::addColumn<QDateTime>("chosenAt");
        QTest::addColumn<QDateTime>("due");
        QTest::newRow("new year's eve 23:59")
            << local(2026, 12, 31, 23, 59) << utc(2027, 1, 1, 8, 0);
        QTest::newRow("chosen at 08:00") << local(2026, 6, 10, 8, 0) << utc(2026, 6, 11, 7, 0);
        QTest::newRow("clocks go forward that night")
            << local(2026, 3, 28, 8, 0) << utc(2026, 3, 29, 7, 0);
        QTest::newRow("clocks go back that night")
            << local(2026, 10, 24, 8, 0) << utc(2026, 10, 25, 8, 0);
    }
    void tomorrowAtNine() {
        QFETCH(QDateTime, chosenAt);
        QFETCH(QDateTime, due);
        QVERIFY2(QDateTime(QDate(2026, 1, 1), QTime(12, 0)).offsetFromUtc() == 3600,
                 "needs TZ=Europe/Berlin");
        const std::optional<NotificationTrigger> trigger = laterTrigger(laterTomorrowTag, chosenAt);
        QVERIFY(trigger);
        QCOMPARE(trigger->dueTime(chosenAt), due);
    }

    // Written by one store, read by another: every field, soonest first; a
    // path that is not UTF-8 travels from the request to the store as its
    // bytes, so the same file comes back. A removed reminder is gone.
    void storeRoundTrip() {
        const QString path = m_sandbox.stateHome() + u"/round/reminders.json"_s;
        ReminderStore store(path);
        QVERIFY(store.reminders().isEmpty());
        const QVariantMap latin1 =
            laterNotificationRequest(fileUrlFromPath("/tmp/caf\xe9"),
                                     NotificationTrigger::timeInterval(10), 1796983200.5)
                .content.userInfo;
        QCOMPARE(latin1.value(u"filePath"_s), QVariant(QByteArray("/tmp/caf\xe9")));
        const StoredReminder late{u"marvoline.later.1.2"_s, u"Reminder"_s, u"Relatório.pdf"_s,
                                  QVariantMap{{u"filePath"_s, u"/home/u/Relatório.pdf"_s}},
                                  utc(2027, 1, 1, 8, 0)};
        const StoredReminder soon{u"marvoline.later.-3.4"_s, u"Reminder"_s, u"caf?"_s, latin1,
                                  QDateTime::fromMSecsSinceEpoch(1796983200123, Qt::UTC)};
        QVERIFY(store.add(late));
        QVERIFY(store.add(soon));
        const QList<StoredReminder> all = ReminderStore(path).reminders();
        QCOMPARE(all.size(), 2);
        for (const auto& [read, written] : {std::pair(all[0], soon), std::pair(all[1], late)}) {
            QCOMPARE(read.identifier, written.identifier);
            QCOMPARE(read.title, written.title);
            QCOMPARE(read.body, written.body);
            QCOMPARE(read.userInfo, written.userInfo); // bytes stay bytes
            QCOMPARE(read.due, written.due);
        }
        QVERIFY(store.remove(soon.identifier));
        QCOMPARE(ReminderStore(path).reminders().size(), 1);
        QVERIFY(!ReminderStore(path).reminder(soon.identifier));
    }

    // A choice of the menu (the last item: the custom delay, answered with
    // text). Refused by the notification centre, the chooser stays and says
    // so; an invalid or cancelled custom delay changes nothing, silently.
    void choices_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text"); // custom delay typed; empty: no dialog
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<Center>("center");
        QTest::addColumn<qint64>("seconds"); // 0: none scheduled; -1: tomorrow at 9:00
        const auto row = [](const char* name, int item, qint64 seconds, const QString& text = {},
                            bool confirm = true, Center center = Center::Granting) {
            QTest::newRow(name) << item << text << confirm << center << seconds;
        };
        row("in 10 seconds", 0, 10);
        row("in 5 minutes", 1, 300);
        row("in 2 hours", 6, 7200);
        row("tomorrow at 9:00", 7, -1);
        row("custom 45 minutes", 8, 2700, u"45"_s);
        row("custom invalid", 8, 0, u"abc"_s);
        row("custom cancelled", 8, 0, u"45"_s, false);
        row("no bus", 0, 0, {}, true, Center::NoBus);
        row("store cannot be written", 1, 0, {}, true, Center::StoreUnwritable);
        row("custom, no bus", 8, 0, u"45"_s, true, Center::NoBus);
    }
    void choices() {
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(bool, confirm);
        QFETCH(Center, center);
        QFETCH(qint64, seconds);
        useCenter(center);
        const QUrl file = m_sandbox.writeFile(u"later/report.txt"_s, "c");
        MainViewController vc;
        vc.configure({file});
        vc.show();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        const QDateTime before = QDateTime::currentDateTime();
        if (!text.isEmpty())
            answerDialog(text,
                         confirm ? QDialogButtonBox::AcceptRole : QDialogButtonBox::RejectRole);
        vc.onLaterItemSelected(vc.laterPopUp->menu()->actions().at(item));
        QVERIFY(vc.isTimerPaused);
        if (seconds == 0) {
            const bool refused = center != Center::Granting;
            QTRY_COMPARE(vc.messageLabel->isVisibleTo(&vc), refused);
            QTest::qWait(50);
            QCOMPARE(vc.messageLabel->isVisibleTo(&vc), refused);
            if (refused)
                QCOMPARE(vc.messageLabel->text(), qtTrId("ui.later.notScheduled"));
            QCOMPARE(terminate.size(), 0);
            QVERIFY(stored().isEmpty());
            return;
        }
        QTRY_COMPARE(terminate.size(), 1);
        QCOMPARE(stored().size(), 1);
        const StoredReminder reminder = stored().first();
        QCOMPARE(reminder.body, u"report.txt"_s);
        QCOMPARE(reminder.userInfo.value(u"filePath"_s).toString().toUtf8(), localPath(file));
        if (seconds == -1)
            seconds = before.secsTo(QDateTime(before.date().addDays(1), QTime(9, 0)));
        const qint64 delay = before.secsTo(reminder.due);
        QVERIFY2(delay >= seconds && delay <= seconds + 2, qPrintable(QString::number(delay)));
    }

    // Files that arrive while the custom delay dialog is open cancel it: the file it was opened
    // for is not reminded, the chooser does not leave, and it shows the new files.
    void newFilesCancelTheCustomDelay() {
        useCenter(Center::Granting);
        const QUrl a = m_sandbox.writeFile(u"later/a.txt"_s, "a");
        const QUrl b = m_sandbox.writeFile(u"later/b.txt"_s, "b");
        MainViewController vc;
        vc.configure({a});
        vc.show();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        bool delivered = false;
        bool stayedOpen = false;
        // Once the dialog is up (with or without a nested event loop of its own).
        QTimer::singleShot(0, &vc, [&] {
            QPointer<QDialog> dialog = vc.findChild<QDialog*>(u"customTimerPicker"_s);
            QVERIFY(dialog && dialog->isVisible());
            dialog->findChild<QLineEdit*>()->setText(u"45"_s);
            vc.configure({b}); // as an open event does
            vc.showFiles();
            stayedOpen = dialog && dialog->isVisible();
            if (stayedOpen) // the user schedules what the dialog was opened for
                dialog->accept();
            delivered = true;
        });
        vc.onLaterItemSelected(vc.laterPopUp->menu()->actions().at(8));
        QTRY_VERIFY(delivered);
        QVERIFY(!stayedOpen);
        QCOMPARE(vc.fileURLs, QList<QUrl>{b});
        QVERIFY(stored().isEmpty());
        QVERIFY(terminate.isEmpty());
        // Later works on for the new files.
        vc.onLaterItemSelected(vc.laterPopUp->menu()->actions().at(1));
        QTRY_COMPARE(terminate.size(), 1);
        QCOMPARE(stored().size(), 1);
        QCOMPARE(stored().first().body, u"b.txt"_s);
    }
};

MARVOLINE_TEST_MAIN(TestLater)
#include "tst_later.moc"
