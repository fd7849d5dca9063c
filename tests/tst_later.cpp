// The Later menu and its reminders: the menu's items, the custom delay's
// parsing, the triggers and the request, the reminder store, authorization,
// and the chooser's choices against the real notification centre on this
// test's private bus (its store in the sandbox; no agent is started here).
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
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace marvoline;

namespace {

const QString notifications = QStringLiteral("org.freedesktop.Notifications");

QDateTime local(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::LocalTime);
}

QDateTime utc(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

StoredReminder reminder(const QString& id, const QDateTime& due, const QVariant& path) {
    return {id,
            QStringLiteral("Reminder"),
            QStringLiteral("a.txt"),
            {{QStringLiteral("filePath"), path}},
            due};
}

// Answers the custom delay dialog once it is up: types text, then presses the
// button of the role.
void answerDialog(const QString& text, QDialogButtonBox::ButtonRole role) {
    QTimer::singleShot(0, qApp, [text, role] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), QStringLiteral("customTimerPicker"));
        dialog->findChild<QLineEdit*>()->setText(text);
        for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons()) {
            if (dialog->findChild<QDialogButtonBox*>()->buttonRole(b) == role)
                b->click();
        }
    });
}

} // namespace

class TestLater final : public QObject {
    Q_OBJECT

public:
    explicit TestLater(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private:
    test::XdgSandbox& m_sandbox;
    std::unique_ptr<DbusNotificationCenter> m_center;
    QString m_storePath;

    // The real centre on this test's bus with its store in the sandbox; a
    // notification service is on the bus unless withService is false.
    void useCenter(const QDBusConnection& connection, const QString& storePath) {
        m_storePath = storePath;
        // The centre in use hands its delegate over, so it goes only after the new one is in.
        auto center = std::make_unique<DbusNotificationCenter>(connection, ReminderStore(storePath),
                                                               QStringList());
        platform::setNotificationCenter(center.get());
        m_center = std::move(center);
    }
    void useGrantingCenter() {
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        if (!QDBusConnection::sessionBus().interface()->isServiceRegistered(notifications))
            QVERIFY(QDBusConnection::sessionBus().registerService(notifications));
        useCenter(QDBusConnection::sessionBus(),
                  m_sandbox.stateHome() + QStringLiteral("/later/reminders.json"));
        QFile::remove(m_storePath);
    }
    QList<StoredReminder> stored() const { return ReminderStore(m_storePath).reminders(); }

    static void checkGranted(NotificationCenter& center, bool expected) {
        int answers = 0;
        bool granted = !expected;
        center.requestAuthorization([&](bool g) {
            ++answers;
            granted = g;
        });
        QCOMPARE(answers, 0); // never from within the call
        QTRY_COMPARE(answers, 1);
        QCOMPARE(granted, expected);
        QTest::qWait(50);
        QCOMPARE(answers, 1);
    }

private Q_SLOTS:
    void cleanup() {
        platform::setNotificationCenter(nullptr);
        m_center.reset();
    }

    void menuItemsAndTags() {
        MainViewController vc;
        QCOMPARE(vc.laterPopUp->text(), qtTrId("ui.later"));
        QVERIFY(!vc.laterPopUp->icon().isNull());
        const QList<QAction*> items = vc.laterPopUp->menu()->actions();
        const QList<std::pair<const char*, int>> expected{
            {"ui.later.10sec", -10},  {"ui.later.5min", 5},       {"ui.later.10min", 10},
            {"ui.later.15min", 15},   {"ui.later.30min", 30},     {"ui.later.60min", 60},
            {"ui.later.120min", 120}, {"ui.later.tomorrow9", -1}, {"ui.later.chooseTimer", -2}};
        QCOMPARE(items.size(), expected.size());
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(items.at(i)->text(), qtTrId(expected.at(i).first));
            QCOMPARE(items.at(i)->data().toInt(), expected.at(i).second);
            QVERIFY(items.at(i)->shortcut().isEmpty());
        }
    }

    void customDelayParsing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("minutes"); // 0: refused
        QTest::newRow("45") << "45" << qint64(45);
        QTest::newRow("plus sign") << "+15" << qint64(15);
        QTest::newRow("leading zeros") << "007" << qint64(7);
        QTest::newRow("zero") << "0" << qint64(0);
        QTest::newRow("minus zero") << "-0" << qint64(0);
        QTest::newRow("negative") << "-5" << qint64(0);
        QTest::newRow("letters") << "abc" << qint64(0);
        QTest::newRow("leading space") << " 30" << qint64(0);
        QTest::newRow("trailing space") << "30 " << qint64(0);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("sign only") << "+" << qint64(0);
        QTest::newRow("two signs") << "+-3" << qint64(0);
        QTest::newRow("decimal") << "1.5" << qint64(0);
        QTest::newRow("fullwidth digits") << QStringLiteral("１５") << qint64(0);
        // (2^63 - 1) / 60 rounded down is the largest count whose seconds fit.
        QTest::newRow("largest") << "153722867280912930" << qint64(153722867280912930);
        QTest::newRow("one past largest") << "153722867280912931" << qint64(0);
        QTest::newRow("far too large") << "99999999999999999999999" << qint64(0);
    }
    void customDelayParsing() {
        QFETCH(QString, text);
        QFETCH(qint64, minutes);
        const std::optional<qint64> parsed = parseCustomDelayMinutes(text);
        if (minutes == 0)
            QVERIFY2(!parsed, qPrintable(QString::number(parsed.value_or(0))));
        else
            QCOMPARE(parsed, std::optional<qint64>(minutes));
    }

    // The test runs with TZ=Europe/Berlin (CTest environment).
    void triggers_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QDateTime>("chosenAt");
        QTest::addColumn<QDateTime>("due"); // invalid: no trigger
        const QDateTime noon = local(2026, 6, 10, 12, 0);
        QTest::newRow("10 seconds") << -10 << noon << noon.toUTC().addSecs(10);
        QTest::newRow("5 minutes") << 5 << noon << noon.toUTC().addSecs(300);
        QTest::newRow("120 minutes") << 120 << noon << noon.toUTC().addSecs(7200);
        QTest::newRow("tomorrow, new year's eve 23:59")
            << -1 << local(2026, 12, 31, 23, 59) << utc(2027, 1, 1, 8, 0);
        QTest::newRow("tomorrow, chosen at 08:00")
            << -1 << local(2026, 6, 10, 8, 0) << utc(2026, 6, 11, 7, 0);
        QTest::newRow("tomorrow, end of February")
            << -1 << local(2026, 2, 28, 18, 0) << utc(2026, 3, 1, 8, 0);
        QTest::newRow("tomorrow, clocks go forward that night")
            << -1 << local(2026, 3, 28, 8, 0) << utc(2026, 3, 29, 7, 0);
        QTest::newRow("tomorrow, clocks go back that night")
            << -1 << local(2026, 10, 24, 8, 0) << utc(2026, 10, 25, 8, 0);
        QTest::newRow("title item") << 0 << noon << QDateTime();
        QTest::newRow("custom item") << -2 << noon << QDateTime();
    }
    void triggers() {
        QFETCH(int, tag);
        QFETCH(QDateTime, chosenAt);
        QFETCH(QDateTime, due);
        QVERIFY2(QDateTime(QDate(2026, 1, 1), QTime(12, 0)).offsetFromUtc() == 3600,
                 "needs TZ=Europe/Berlin");
        const std::optional<NotificationTrigger> trigger = laterTrigger(tag, chosenAt);
        QCOMPARE(trigger.has_value(), due.isValid());
        if (trigger)
            QCOMPARE(trigger->dueTime(chosenAt), due);
    }

    void customDelayTriggerAndFarFuture() {
        const QDateTime now = utc(2026, 6, 10, 12, 0);
        QCOMPARE(laterTriggerForMinutes(45).dueTime(now), now.addSecs(2700));
        // Seconds that fit in 64 bits but not in a calendar stay pending for good.
        const QDateTime far = laterTriggerForMinutes(153722867280912930).dueTime(now);
        QVERIFY(far.isValid());
        QCOMPARE(far.date(), QDate(9999, 12, 31));
    }

    void identifierForm() {
        const QByteArray path = "/home/u/report.pdf";
        const double t = 1796983200.25;
        const QString id = laterNotificationIdentifier(path, t);
        const QRegularExpression form(QStringLiteral("^marvoline\\.later\\.(-?[0-9]+)\\.(.+)$"));
        const QRegularExpressionMatch m = form.match(id);
        QVERIFY2(m.hasMatch(), qPrintable(id));
        QCOMPARE(m.captured(2), QStringLiteral("1796983200.25"));
        // Shortest text that reads back as the same double.
        const double odd = 1796983200.123456;
        const QString oddId = laterNotificationIdentifier(path, odd);
        QCOMPARE(form.match(oddId).captured(2).toDouble(), odd);
        QCOMPARE(form.match(oddId).captured(1), m.captured(1));
        // A second later, the same file: another identifier.
        QVERIFY(laterNotificationIdentifier(path, t + 1) != id);
        QVERIFY(laterNotificationIdentifier("/home/u/other.pdf", t) != id);
    }

    void requestContent_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("body");
        QTest::newRow("plain") << QByteArray("/home/u/report.final.pdf") << "report.final.pdf";
        QTest::newRow("spaces and markup") << QByteArray("/tmp/a <b> & c.txt") << "a <b> & c.txt";
        QTest::newRow("folder") << QByteArray("/home/u/Photos") << "Photos";
        QTest::newRow("not UTF-8") << QByteArray("/tmp/caf\xe9.txt") << QString();
    }
    void requestContent() {
        QFETCH(QByteArray, path);
        QFETCH(QString, body);
        const NotificationRequest request = laterNotificationRequest(
            fileUrlFromPath(path), NotificationTrigger::timeInterval(10), 1796983200.5);
        QCOMPARE(request.content.title, qtTrId("ui.later.notificationTitle"));
        if (!body.isEmpty())
            QCOMPARE(request.content.body, body);
        QCOMPARE(request.content.userInfo.keys(), QStringList{QStringLiteral("filePath")});
        const QVariant value = request.content.userInfo.value(QStringLiteral("filePath"));
        if (value.typeId() == QMetaType::QString)
            QCOMPARE(value.toString().toUtf8(), path);
        else
            QCOMPARE(value.toByteArray(), path); // bytes that are not UTF-8 stay bytes
        QVERIFY(request.identifier.startsWith(QStringLiteral("marvoline.later.")));
    }

    void storeRoundTrip() {
        const QString path = m_sandbox.stateHome() + QStringLiteral("/round/reminders.json");
        ReminderStore store(path);
        QVERIFY(store.reminders().isEmpty());
        const StoredReminder late =
            reminder(QStringLiteral("marvoline.later.1.2"), utc(2027, 1, 1, 8, 0),
                     QStringLiteral("/home/u/Relatório.pdf"));
        const StoredReminder soon = reminder(QStringLiteral("marvoline.later.-3.4"),
                                             QDateTime::fromMSecsSinceEpoch(1796983200123, Qt::UTC),
                                             QByteArray("/tmp/caf\xe9.txt"));
        QVERIFY(store.add(late));
        QVERIFY(store.add(soon));
        const QList<StoredReminder> all = ReminderStore(path).reminders();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.at(0).identifier, soon.identifier); // soonest first
        QCOMPARE(all.at(0).due, soon.due);
        QCOMPARE(all.at(0).userInfo, soon.userInfo);
        QCOMPARE(all.at(0).userInfo.value("filePath").typeId(), int(QMetaType::QByteArray));
        QCOMPARE(all.at(1).title, late.title);
        QCOMPARE(all.at(1).body, late.body);
        QCOMPARE(all.at(1).userInfo, late.userInfo);
        QCOMPARE(all.at(1).due, late.due);
        QVERIFY(store.remove(soon.identifier));
        QCOMPARE(ReminderStore(path).reminders().size(), 1);
        QVERIFY(!ReminderStore(path).reminder(soon.identifier));
    }

    void unparseableStoreIsMovedAside() {
        const QString dir = m_sandbox.stateHome() + QStringLiteral("/corrupt");
        QDir().mkpath(dir);
        const QString path = dir + QStringLiteral("/reminders.json");
        const QByteArray garbage = "{\"marvoline.later.1.2\": {\"title\": ";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        }
        ReminderStore store(path);
        QVERIFY(store.reminders().isEmpty());
        QVERIFY(store.add(reminder(QStringLiteral("marvoline.later.5.6"), utc(2027, 1, 1, 8, 0),
                                   QStringLiteral("/x"))));
        QCOMPARE(store.reminders().size(), 1);
        const QStringList aside =
            QDir(dir).entryList({QStringLiteral("reminders.json.corrupt-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QFile kept(dir + QLatin1Char('/') + aside.first());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), garbage);
    }

    void authorization() {
        // No bus at all.
        useCenter(QDBusConnection(QStringLiteral("never-connected")),
                  m_sandbox.stateHome() + QStringLiteral("/auth/reminders.json"));
        checkGranted(*m_center, false);
        // A store that cannot be written: its folder would be below a file.
        QFile blocker(m_sandbox.stateHome() + QStringLiteral("/blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        useCenter(QDBusConnection::sessionBus(), blocker.fileName() + QStringLiteral("/r.json"));
        checkGranted(*m_center, false);
        // A notification service on the bus and a writable store.
        useGrantingCenter();
        checkGranted(*m_center, true);
    }

    void refusedChoiceKeepsTheChooser() {
        useCenter(QDBusConnection(QStringLiteral("never-connected")),
                  m_sandbox.stateHome() + QStringLiteral("/refused/reminders.json"));
        const QUrl file = m_sandbox.writeFile(QStringLiteral("later/refused.txt"), "r");
        MainViewController vc;
        vc.configure({file});
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        vc.onLaterItemSelected(vc.laterPopUp->menu()->actions().at(0));
        QTRY_VERIFY(vc.messageLabel->isVisibleTo(&vc));
        QCOMPARE(vc.messageLabel->text(), qtTrId("ui.later.notScheduled"));
        QVERIFY(!vc.messageLabel->text().contains(QLatin1Char('\n')));
        QTest::qWait(50);
        QCOMPARE(terminate.size(), 0);
        QVERIFY(vc.isTimerPaused);
        QVERIFY(stored().isEmpty());
    }

    // A choice of the menu (the last item: the custom delay, answered with
    // text) with a notification service on the bus.
    void choices_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<qint64>("seconds"); // 0: nothing scheduled, chooser stays
        QTest::newRow("in 5 minutes") << 1 << "" << true << qint64(300);
        QTest::newRow("custom 45 minutes") << 8 << "45" << true << qint64(2700);
        QTest::newRow("custom plus sign") << 8 << "+15" << true << qint64(900);
        QTest::newRow("custom invalid") << 8 << "abc" << true << qint64(0);
        QTest::newRow("custom zero") << 8 << "0" << true << qint64(0);
        QTest::newRow("custom cancelled") << 8 << "45" << false << qint64(0);
    }
    void choices() {
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(bool, confirm);
        QFETCH(qint64, seconds);
        useGrantingCenter();
        const QUrl file = m_sandbox.writeFile(QStringLiteral("later/report.txt"), "c");
        MainViewController vc;
        vc.configure({file});
        vc.show();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        const QDateTime before = QDateTime::currentDateTimeUtc();
        if (!text.isEmpty())
            answerDialog(text,
                         confirm ? QDialogButtonBox::AcceptRole : QDialogButtonBox::RejectRole);
        vc.onLaterItemSelected(vc.laterPopUp->menu()->actions().at(item));
        QVERIFY(vc.isTimerPaused);
        if (seconds == 0) {
            QTest::qWait(50);
            QCOMPARE(terminate.size(), 0);
            QVERIFY(stored().isEmpty());
            QVERIFY(!vc.messageLabel->isVisibleTo(&vc)); // silently
            return;
        }
        QTRY_COMPARE(terminate.size(), 1);
        QCOMPARE(stored().size(), 1);
        const StoredReminder reminder = stored().first();
        QCOMPARE(reminder.body, QStringLiteral("report.txt"));
        QCOMPARE(reminder.userInfo.value("filePath").toString().toUtf8(), localPath(file));
        const qint64 delay = before.secsTo(reminder.due);
        QVERIFY2(delay >= seconds && delay <= seconds + 2, qPrintable(QString::number(delay)));
    }
};

MARVOLINE_TEST_MAIN(TestLater)
#include "tst_later.moc"
