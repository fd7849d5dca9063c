// The Later menu and its reminders: the custom delay's parsing, the triggers
// and the request, the reminder store, and the chooser's choices against the
// real notification centre on this test's private bus (its store in the
// sandbox; no agent is started here).
#include "support/TestMain.h"

#include "support/PrivateBus.h"
#include "support/StoreHazards.h"

#include "chooser/LaterReminder.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/ReminderStore.h"
#include "platform/dbus/DbusNotificationCenter.h"
#include "platform/dbus/ReminderHandOver.h"
#include "views/AppIconButton.h"
#include "views/MenuButton.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include <map>
#include <memory>

using namespace marvoline;
using namespace Qt::StringLiterals;
using marvoline::test::slowId;

namespace {

QDateTime local(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::LocalTime);
}

QDateTime utc(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

// When the custom delays of the parsing cases were chosen.
const QDateTime chosenAt = utc(2026, 12, 7, 15, 0);

// The custom delay dialog, open over the chooser without holding up the
// caller: a window-modal child of the chooser's window.
QDialog* customDialog(MainViewController& vc) {
    auto* dialog = vc.window()->findChild<QDialog*>(u"customTimerPicker"_s);
    if (!dialog || !dialog->isVisible() || dialog->parentWidget() != vc.window() ||
        dialog->windowModality() != Qt::WindowModal)
        return nullptr;
    return dialog;
}

// Types text into the open custom delay dialog, then presses the button of
// the role.
void answerDialog(MainViewController& vc, const QString& text, QDialogButtonBox::ButtonRole role) {
    QDialog* dialog = customDialog(vc);
    QVERIFY(dialog);
    dialog->findChild<QLineEdit*>()->setText(text);
    auto* box = dialog->findChild<QDialogButtonBox*>();
    for (QAbstractButton* b : box->buttons()) {
        if (box->buttonRole(b) == role)
            b->click();
    }
}

// How the notification centre of a choice is set up.
enum class Center { Granting, NoBus, StoreUnwritable, StoreLocked, StoreLockFolder, StoreFifo };

} // namespace

Q_DECLARE_METATYPE(Center)

class TestLater final : public QObject {
    Q_OBJECT

public:
    explicit TestLater(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox)
        , m_bus(sandbox) {
        // CSV files: an application started over D-Bus that answers the launch late.
        m_bus.makeSessionBus();
        m_bus.addSlowApp(slowId, u"Slow"_s, {u"text/csv"_s}, 1500);
        m_sandbox.writeMimeinfoCache({{u"text/csv"_s, {slowId}}});
    }

private:
    test::XdgSandbox& m_sandbox;
    test::PrivateBus m_bus;
    std::unique_ptr<test::StoreHazardInPlace> m_hazard;
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
        const std::map<Center, test::StoreHazard> hazards{
            {Center::StoreLocked, test::StoreHazard::FreshForeignLock},
            {Center::StoreLockFolder, test::StoreHazard::LockFolder},
            {Center::StoreFifo, test::StoreHazard::FifoStore}};
        if (const auto hazard = hazards.find(kind); hazard != hazards.end()) {
            m_hazard = std::make_unique<test::StoreHazardInPlace>(hazard->second, m_storePath);
            QVERIFY(m_hazard->isInPlace());
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
        m_hazard.reset();
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

    // What the reminder agent hands a chooser it starts: the file as a URI
    // that gives back the same bytes, and the reminder's identifier. A path
    // that is empty or carries a NUL, or no identifier, gives nothing.
    void responseArguments_data() {
        QTest::addColumn<QVariant>("path");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QByteArray>("expected"); // the path read back; empty: no arguments
        const QString id = u"marvoline.later.-3.4"_s;
        QTest::newRow("text") << QVariant(u"/tmp/sp ace/Relatório#1.pdf"_s) << id
                              << QByteArray("/tmp/sp ace/Relat\xc3\xb3rio#1.pdf");
        QTest::newRow("bytes, not UTF-8")
            << QVariant(QByteArray("/tmp/caf\xe9%41")) << id << QByteArray("/tmp/caf\xe9%41");
        QTest::newRow("NUL") << QVariant(QByteArray("/tmp/a\0b", 8)) << id << QByteArray();
        QTest::newRow("no path") << QVariant() << id << QByteArray();
        QTest::newRow("no identifier") << QVariant(u"/tmp/a"_s) << QString() << QByteArray();
    }
    void responseArguments() {
        QFETCH(QVariant, path);
        QFETCH(QString, identifier);
        QFETCH(QByteArray, expected);
        QVariantMap userInfo;
        if (path.isValid())
            userInfo.insert(reminderFilePathKey, path);
        const QStringList arguments = ReminderHandOver::responseArguments(userInfo, identifier);
        if (expected.isEmpty()) {
            QCOMPARE(arguments, QStringList());
            return;
        }
        QCOMPARE(arguments.size(), 3);
        QCOMPARE(arguments.at(0), u"--reminder-response"_s);
        QCOMPARE(localPath(QUrl::fromEncoded(arguments.at(1).toLatin1())), expected);
        QCOMPARE(arguments.at(2), identifier);
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
        QTest::addColumn<int>("fileCount");
        const auto row = [](const char* name, int item, qint64 seconds, const QString& text = {},
                            bool confirm = true, Center center = Center::Granting,
                            int fileCount = 1) {
            QTest::newRow(name) << item << text << confirm << center << seconds << fileCount;
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
        // Every file on show is reminded of, each on its own.
        row("three files in 5 minutes", 1, 300, {}, true, Center::Granting, 3);
        row("three files, custom 45 minutes", 8, 2700, u"45"_s, true, Center::Granting, 3);
        // The store held by another process: the window runs on, and the lost
        // reminder is said once the lock's wait is over.
        row("store lock held elsewhere", 1, 0, {}, true, Center::StoreLocked);
        row("lock is a folder", 8, 0, u"45"_s, true, Center::StoreLockFolder);
        // A pipe in the store's place is moved aside, never read.
        row("store is a pipe", 1, 300, {}, true, Center::StoreFifo);
    }
    void choices() {
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(bool, confirm);
        QFETCH(Center, center);
        QFETCH(qint64, seconds);
        QFETCH(int, fileCount);
        useCenter(center);
        QList<QUrl> files;
        for (const char* name : {"report.txt", "b c.pdf", "caf\xe9.txt"}) {
            if (files.size() < fileCount)
                files.append(m_sandbox.writeFile(u"later/"_s + QString::fromLatin1(name), "c"));
        }
        MainViewController vc;
        vc.configure(files);
        vc.show();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        const QDateTime before = QDateTime::currentDateTime();
        test::EventLoopProbe probe;
        vc.onLaterItemSelected(vc.laterPopUp->popUpMenu()->actions().at(item));
        if (!text.isEmpty())
            answerDialog(vc, text,
                         confirm ? QDialogButtonBox::AcceptRole : QDialogButtonBox::RejectRole);
        QVERIFY(vc.isTimerPaused);
        if (seconds == 0) {
            const bool refused = center != Center::Granting && center != Center::StoreFifo;
            const int wait = refused ? 15000 : 5000;
            QTRY_COMPARE_WITH_TIMEOUT(vc.messageLabel->isVisibleTo(&vc), refused, wait);
            if (center == Center::StoreLocked || center == Center::StoreLockFolder) {
                // Never held up for long (a second, with room for a busy machine).
                QVERIFY2(probe.longestGapMs() < 2000,
                         qPrintable(QString::number(probe.longestGapMs())));
                m_hazard->clear();
            }
            QTest::qWait(50);
            QCOMPARE(vc.messageLabel->isVisibleTo(&vc), refused);
            if (refused)
                QCOMPARE(vc.messageLabel->text(), qtTrId("ui.later.notScheduled"));
            QCOMPARE(terminate.size(), 0);
            QVERIFY(stored().isEmpty());
            return;
        }
        QTRY_COMPARE(terminate.size(), 1);
        const QList<StoredReminder> reminders = stored();
        QCOMPARE(reminders.size(), files.size());
        if (seconds == -1)
            seconds = before.secsTo(QDateTime(before.date().addDays(1), QTime(9, 0)));
        QSet<QString> identifiers;
        QSet<QByteArray> paths;
        for (const StoredReminder& reminder : reminders) {
            identifiers.insert(reminder.identifier);
            // Only the path, as bytes where it is not UTF-8.
            QCOMPARE(reminder.userInfo.keys(), QStringList{u"filePath"_s});
            const QVariant path = reminder.userInfo.value(u"filePath"_s);
            const QByteArray bytes = path.typeId() == QMetaType::QByteArray
                                         ? path.toByteArray()
                                         : path.toString().toUtf8();
            paths.insert(bytes);
            QCOMPARE(reminder.body, displayFileName(fileUrlFromPath(bytes)));
            const qint64 delay = before.secsTo(reminder.due);
            QVERIFY2(delay >= seconds && delay <= seconds + 2, qPrintable(QString::number(delay)));
        }
        QCOMPARE(identifiers.size(), files.size());
        QSet<QByteArray> expected;
        for (const QUrl& file : files)
            expected.insert(localPath(file));
        QCOMPARE(paths, expected);
    }

    // While the files are being handed to an application that answers late,
    // Later (a menu delay or the custom one) puts nothing away, and the
    // chooser ends only once the application has the files.
    void laterRefusedDuringLaunch_data() {
        QTest::addColumn<int>("item");
        QTest::newRow("in 10 seconds") << 0;
        QTest::newRow("custom delay") << 8;
    }
    void laterRefusedDuringLaunch() {
        QFETCH(int, item);
        useCenter(Center::Granting);
        m_sandbox.clearRecords();
        // The application of the row before has ended after its answer.
        QTRY_VERIFY(
            !QDBusConnection::sessionBus().interface()->isServiceRegistered(u"org.example.Slow"_s));
        const QUrl file = m_sandbox.writeFile(u"later/table.csv"_s, "1,2\n");
        MainViewController vc;
        vc.configure({file});
        vc.show();
        vc.showFiles();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        QVERIFY(vc.defaultAppButton);
        QTest::mouseClick(vc.defaultAppButton.data(), Qt::LeftButton);
        QVERIFY(vc.isLaunchInFlight());
        vc.onLaterItemSelected(vc.laterPopUp->popUpMenu()->actions().at(item));
        if (customDialog(vc))
            answerDialog(vc, u"45"_s, QDialogButtonBox::AcceptRole);
        QVERIFY(terminate.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(terminate.size(), 1, 20000);
        QCOMPARE(m_sandbox.recordedLaunches(slowId), (QList<QList<QByteArray>>{{localPath(file)}}));
        QVERIFY(stored().isEmpty());
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
        vc.onLaterItemSelected(vc.laterPopUp->popUpMenu()->actions().at(8));
        QTRY_VERIFY(delivered);
        QVERIFY(!stayedOpen);
        QCOMPARE(vc.fileURLs, QList<QUrl>{b});
        QVERIFY(stored().isEmpty());
        QVERIFY(terminate.isEmpty());
        // Later works on for the new files.
        vc.onLaterItemSelected(vc.laterPopUp->popUpMenu()->actions().at(1));
        QTRY_COMPARE(terminate.size(), 1);
        QCOMPARE(stored().size(), 1);
        QCOMPARE(stored().first().body, u"b.txt"_s);
    }
};

MARVOLINE_TEST_MAIN(TestLater)
#include "tst_later.moc"
