// The desktop portal's application chooser without the portal: each way a request ends, over
// a real session bus, gives its response code and results (the portal's ID form, values of
// type "s") exactly once; requests wait their turn; the choices' order; and the chooser handing
// its choice over instead of launching.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "main/ChoiceReceiver.h"
#include "main/MainViewController.h"
#include "platform/dbus/PortalAppChooser.h"
#include "views/AppIconButton.h"
#include "views/MenuButton.h"
#include "views/WindowDragHandleView.h"

#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QProcess>
#include <QSignalSpy>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

const QString chooserPath = PortalAppChooser::objectPath;
const QString chooserInterface = PortalAppChooser::interfaceName;
const QString handleBase = u"/org/freedesktop/portal/desktop/request/1_2/t"_s;
using Results = QMap<QString, QString>; // key -> "signature=value"

// The reply's response code and results, once it has come (the event loop runs meanwhile);
// 999 for anything but a reply of signature "ua{sv}".
std::pair<uint, Results> answerOf(const QDBusPendingCall& call) {
    if (!QTest::qWaitFor([&call] { return call.isFinished(); }, 10000))
        return {999, {{"error", u"no reply"_s}}};
    const QDBusMessage reply = call.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != "ua{sv}"_L1)
        return {999, {{"error", reply.signature() + reply.errorMessage()}}};
    Results results;
    const QVariantMap map = qdbus_cast<QVariantMap>(reply.arguments().at(1));
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        results.insert(it.key(), QDBusMetaType::typeToSignature(it.value().metaType()) + "="_L1 +
                                     it.value().toString());
    return {reply.arguments().at(0).toUInt(), results};
}

QDBusPendingCall choose(const QString& service, const QString& handle, const QStringList& choices) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, chooserPath, chooserInterface, "ChooseApplication");
    call << QVariant::fromValue(QDBusObjectPath(handle)) << "org.example.Caller" << QString()
         << choices << QVariantMap{};
    return QDBusConnection::sessionBus().asyncCall(call, 60000);
}

// The backend answers on this thread: calls to it must not block.
QDBusPendingCall closeRequest(const QString& service, const QString& handle) {
    return QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
        service, handle, "org.freedesktop.impl.portal.Request", "Close"));
}

// The choices and cancels a chooser handed over.
struct Recorder : ChoiceReceiver {
    QList<QUrl> apps, chosen;
    int cancelled = 0;
    QList<QUrl> offeredApplications() const override { return apps; }
    void applicationChosen(const QUrl& app) override { chosen.append(app); }
    void choiceCancelled() override { ++cancelled; }
};

} // namespace

class TestPortal : public QObject {
    Q_OBJECT

public:
    explicit TestPortal(XdgSandbox& sandbox)
        : sb(sandbox)
        , backendBus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "backend"))
        , backend(backendBus) {
        apps = {sb.addApp(readerId, "Reader", {"text/plain"}),
                sb.addApp(viewerId, "Viewer", {"text/plain"}),
                sb.addApp(editorId, "Editor", {"text/plain"})};
        file = sb.writeFile("notes.txt", "notes\n");
    }

private:
    XdgSandbox& sb;
    QDBusConnection backendBus; // the chooser's own connection; the test calls as the portal
    PortalAppChooser backend;
    QList<QUrl> apps;
    QUrl file;

private Q_SLOTS:
    void initTestCase() { QVERIFY(backend.registerService(QString())); }

    void requestEnds_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("chosenId");
        QTest::addColumn<QString>("token");
        QTest::addColumn<uint>("code");
        QTest::addColumn<Results>("results");
        const QString none;
        QTest::newRow("chosen") << "answer" << editorId << none << 0u
                                << Results{{"choice", "s=org.example.Editor"}};
        QTest::newRow("chosen, token")
            << "answer"
            << "a.desktop.desktop"
            << "x" << 0u << Results{{"choice", "s=a.desktop"}, {"activation_token", "s=x"}};
        QTest::newRow("chosen, no ID") << "answer" << none << "x" << 0u << Results{};
        QTest::newRow("cancelled") << "cancel" << editorId << "x" << 1u << Results{};
        QTest::newRow("portal's Close") << "close" << none << none << 2u << Results{};
        // Its answer reaches no one: the request closed and taken off the screen shows it.
        QTest::newRow("caller gone") << "vanish" << none << none << 2u << Results{};
    }
    void requestEnds() {
        QFETCH(QString, way);
        QFETCH(QString, chosenId);
        QFETCH(QString, token);
        QFETCH(uint, code);
        QFETCH(Results, results);
        QSignalSpy started(&backend, &PortalAppChooser::requestStarted);
        QSignalSpy ended(&backend, &PortalAppChooser::requestEnded);
        static int requests = 0;
        const QString handle = handleBase + QString::number(++requests);
        QDBusPendingCall call = choose(backendBus.baseService(), handle, {"org.example.Viewer"});
        QProcess gdbus; // a caller that leaves: a process of its own, killed while it waits
        if (way == "vanish")
            gdbus.start("gdbus",
                        {"call", "--session", "--dest", backendBus.baseService(), "--object-path",
                         chooserPath, "--method", chooserInterface + ".ChooseApplication",
                         handle + "v", "", "", "['org.example.Viewer']", "{}"});
        QVERIFY(started.wait(5000));
        QCOMPARE(backend.current()->handle, handle);
        if (way == "vanish") {
            // The test's own request first; the process's is next.
            backend.answer(portal::Response::Cancelled);
            QTRY_COMPARE(backend.openCount(), 1);
            QTRY_VERIFY(backend.current());
            QVERIFY(gdbus.state() == QProcess::Running);
            gdbus.kill();
        } else if (way == "close") {
            closeRequest(backendBus.baseService(), handle);
        } else {
            backend.answer(way == "answer" ? portal::Response::Chosen : portal::Response::Cancelled,
                           chosenId, token);
            backend.answer(portal::Response::Cancelled); // nothing on show: no second answer
        }
        QTRY_COMPARE(backend.openCount(), 0);
        QCOMPARE(backend.current(), nullptr);
        QCOMPARE(ended.size(), way == "close" || way == "vanish" ? 1 : 0);
        if (way != "vanish") {
            QTRY_VERIFY(call.isFinished());
            QCOMPARE(answerOf(call), std::pair(code, results));
        }
        gdbus.waitForFinished(5000);
        // The Request object went with the request.
        QDBusPendingCall gone = closeRequest(backendBus.baseService(), handle);
        QTRY_VERIFY(gone.isFinished());
        QVERIFY(gone.isError());
    }

    // One request on show at a time, in order; the same handle twice is refused; one closed
    // while waiting is answered at once; new choices reach the request on show.
    void requestsWaitTheirTurn() {
        const QString service = backendBus.baseService();
        QSignalSpy started(&backend, &PortalAppChooser::requestStarted);
        QSignalSpy updated(&backend, &PortalAppChooser::choicesUpdated);
        QDBusPendingCall first = choose(service, handleBase + "q1", {"a"});
        QDBusPendingCall second = choose(service, handleBase + "q2", {"b"});
        QDBusPendingCall again = choose(service, handleBase + "q1", {"c"});
        QDBusPendingCall third = choose(service, handleBase + "q3", {"d"});
        QTRY_COMPARE(backend.openCount(), 3);
        QTRY_VERIFY(again.isFinished() && again.isError());
        // The first is shown at the next pass of the event loop, which the refusal
        // of the same handle, answered at once, may come before.
        QTRY_COMPARE(started.size(), 1);
        QCOMPARE(backend.current()->choices, QStringList{"a"});

        QDBusMessage update =
            QDBusMessage::createMethodCall(service, chooserPath, chooserInterface, "UpdateChoices");
        update << QVariant::fromValue(QDBusObjectPath(handleBase + "q1")) << QStringList{"a", "e"};
        QDBusConnection::sessionBus().asyncCall(update);
        QTRY_COMPARE(updated.size(), 1);
        QCOMPARE(backend.current()->choices, (QStringList{"a", "e"}));
        QCOMPARE(started.size(), 1); // still the first alone

        closeRequest(service, handleBase + "q2");
        QTRY_VERIFY(second.isFinished());
        QCOMPARE(answerOf(second).first, 2u);
        QVERIFY(!first.isFinished());
        backend.answer(portal::Response::Chosen, "e.desktop");
        QTRY_COMPARE(started.size(), 2);
        QCOMPARE(answerOf(first), std::pair(0u, Results{{"choice", "s=e"}}));
        QCOMPARE(backend.current()->choices, QStringList{"d"});
        QVERIFY(!third.isFinished());
        backend.answer(portal::Response::Cancelled);
        QTRY_VERIFY(third.isFinished());
        QCOMPARE(answerOf(third).first, 1u);
    }

    void choiceOrder_data() {
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<QVariant>("lastChoice");
        QTest::addColumn<QStringList>("expected");
        const QStringList abc{"a", "b", "c"};
        QTest::newRow("last choice first") << abc << QVariant("c") << QStringList{"c", "a", "b"};
        QTest::newRow("last choice, suffix")
            << abc << QVariant("b.desktop") << QStringList{"b", "a", "c"};
        QTest::newRow("last choice not offered") << abc << QVariant("z") << abc;
        QTest::newRow("duplicates, empties")
            << QStringList{"", "a", "a.desktop", "b"} << QVariant() << QStringList{"a", "b"};
    }
    void choiceOrder() {
        QFETCH(QStringList, choices);
        QFETCH(QVariant, lastChoice);
        QFETCH(QStringList, expected);
        QVariantMap options;
        if (lastChoice.isValid())
            options.insert("last_choice", lastChoice);
        QCOMPARE(portal::orderedChoices(choices, options), expected);
    }

    // The chooser offers the receiver's applications in its order, the first counted down to,
    // hides what acts on the file, hands the first way out over once and launches nothing.
    void chooserHandsTheChoiceOver_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("chosen"); // index into apps; -1: cancelled
        QTest::newRow("countdown") << "countdown" << 0;
        QTest::newRow("tile") << "tile" << 1;
        QTest::newRow("Close") << "close" << -1;
    }
    void chooserHandsTheChoiceOver() {
        QFETCH(QString, way);
        QFETCH(int, chosen);
        Recorder receiver;
        receiver.apps = apps;
        ChooserWindow shown;
        MainViewController& vc = *shown.vc;
        vc.setChoiceReceiver(&receiver);
        vc.configure({file}, true, false);
        vc.showFiles();
        QVERIFY(shown.waitUntilSettled());
        QList<QUrl> order;
        for (const AppCandidate& candidate : vc.allAppCandidates)
            order.append(candidate.url);
        QCOMPARE(order, apps);
        QVERIFY(vc.allAppCandidates.first().isDefault && vc.timer);
        // New choices rebuild the row; the countdown goes on while its application is offered.
        receiver.apps = {apps.at(0), apps.at(2)};
        vc.refreshOfferedApplications();
        QCOMPARE(tiles(vc).size(), 2);
        QVERIFY(!vc.isTimerPaused);
        receiver.apps = {apps.at(1)};
        vc.refreshOfferedApplications();
        QCOMPARE(tiles(vc).size(), 1);
        QVERIFY(vc.isTimerPaused);
        receiver.apps = apps;
        vc.refreshOfferedApplications();
        QCOMPARE(tiles(vc).size(), 3);
        vc.startTimer(file, apps.at(0));
        for (QWidget* option :
             std::initializer_list<QWidget*>{vc.ruleButton, vc.laterPopUp, vc.copyPopUp,
                                             vc.shareButton, vc.dragHandle, vc.setDefaultButton})
            QVERIFY(!option->isVisibleTo(&shown.window));

        if (way == "countdown") {
            for (int i = 0; i < 60 && receiver.chosen.isEmpty(); ++i)
                vc.tick();
        } else if (way == "tile") {
            QTest::mouseClick(tiles(vc).at(1), Qt::LeftButton);
        } else {
            vc.closeButton->click();
        }
        QTest::mouseClick(tiles(vc).at(2), Qt::LeftButton); // later ways out count no more
        vc.onCloseTapped();
        QCOMPARE(receiver.chosen, chosen < 0 ? QList<QUrl>{} : QList<QUrl>{apps.at(chosen)});
        QCOMPARE(receiver.cancelled, chosen < 0 ? 1 : 0);
        QTest::qWait(300);
        for (const QString& id : {readerId, viewerId, editorId})
            QVERIFY(sb.recordedLaunches(id).isEmpty());
    }
};

MARVOLINE_TEST_MAIN(TestPortal)
#include "tst_portal.moc"
