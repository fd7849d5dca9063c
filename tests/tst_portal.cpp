// The desktop portal's application chooser without the portal: the answer's
// form (IDs without ".desktop", the results' keys and types, the response
// codes), requests over a real session bus one at a time and each answered
// once, and the chooser handing its choice over instead of launching.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "main/ChoiceReceiver.h"
#include "main/MainViewController.h"
#include "platform/dbus/AppChooserAnswer.h"
#include "platform/dbus/PortalAppChooser.h"
#include "views/AppIconButton.h"
#include "views/MenuButton.h"
#include "views/WindowDragHandleView.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QProcess>
#include <QSignalSpy>
#include <QToolButton>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

constexpr auto chooserPath = "/org/freedesktop/portal/desktop";
constexpr auto chooserInterface = "org.freedesktop.impl.portal.AppChooser";

// A call of ChooseApplication in flight, from the connection given.
struct Call {
    QDBusPendingCall pending;

    bool done() const { return pending.isFinished(); }
    // The reply's response code and results with each value's D-Bus signature.
    std::pair<uint, QMap<QString, QString>> answer() const {
        const QDBusMessage reply = pending.reply();
        QMap<QString, QString> signatures;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2 ||
            reply.signature() != "ua{sv}"_L1)
            return {999, {{u"unexpected reply"_s, reply.signature() + reply.errorMessage()}}};
        const QVariantMap results = qdbus_cast<QVariantMap>(reply.arguments().at(1));
        for (auto it = results.cbegin(); it != results.cend(); ++it) {
            const QVariant value = it.value();
            signatures.insert(it.key(), QString::fromLatin1(QDBusMetaType::typeToSignature(
                                            QMetaType(value.userType()))) +
                                            u"="_s + value.toString());
        }
        return {reply.arguments().at(0).toUInt(), signatures};
    }
};

Call choose(QDBusConnection caller, const QString& service, const QString& handle,
            const QStringList& choices, const QVariantMap& options = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, QString::fromLatin1(chooserPath),
                                                       QString::fromLatin1(chooserInterface),
                                                       u"ChooseApplication"_s);
    call << QVariant::fromValue(QDBusObjectPath(handle)) << u"org.example.Caller"_s << QString()
         << choices << options;
    return {caller.asyncCall(call, 60000)};
}

void closeRequest(QDBusConnection caller, const QString& service, const QString& handle) {
    caller.call(QDBusMessage::createMethodCall(
        service, handle, u"org.freedesktop.impl.portal.Request"_s, u"Close"_s));
}

// The choices and cancels a chooser handed over.
struct Recorder : ChoiceReceiver {
    QList<QUrl> apps;
    QList<QUrl> chosen;
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
        : sb(sandbox) {
        viewer = sb.addApp(viewerId, "Viewer", {"text/plain"});
        editor = sb.addApp(editorId, "Editor", {"text/plain"});
        reader = sb.addApp(readerId, "Reader", {"text/plain"});
        file = sb.writeFile("notes.txt", "notes\n");
    }

private:
    XdgSandbox& sb;
    QUrl viewer, editor, reader, file;

    // The backend on a connection of its own, the test calling it as the portal would.
    struct Backend {
        QDBusConnection connection;
        PortalAppChooser chooser;
        QString name;
        explicit Backend(const QString& id)
            : connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, id))
            , chooser(connection)
            , name(connection.baseService()) {}
        ~Backend() { QDBusConnection::disconnectFromBus(connection.name()); }
    };

private Q_SLOTS:
    void idForm_data() {
        QTest::addColumn<QString>("desktopFileId");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("backToFileId");
        QTest::newRow("suffix") << "org.gnome.eog.desktop"
                                << "org.gnome.eog"
                                << "org.gnome.eog.desktop";
        QTest::newRow("already the portal's") << "org.gnome.eog"
                                              << "org.gnome.eog"
                                              << "org.gnome.eog.desktop";
        QTest::newRow("suffix once") << "a.desktop.desktop"
                                     << "a.desktop"
                                     << "a.desktop.desktop";
        QTest::newRow("dots inside") << "org.desktop.App.desktop"
                                     << "org.desktop.App"
                                     << "org.desktop.App.desktop";
    }
    void idForm() {
        QFETCH(QString, desktopFileId);
        QFETCH(QString, choice);
        QFETCH(QString, backToFileId);
        QCOMPARE(portal::choiceId(desktopFileId), choice);
        QCOMPARE(portal::desktopFileId(portal::choiceId(desktopFileId)), backToFileId);
    }

    void results_data() {
        QTest::addColumn<portal::Response>("response");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QVariantMap>("expected");
        QTest::newRow("chosen") << portal::Response::Chosen << "org.example.Viewer.desktop"
                                << "" << QVariantMap{{"choice", u"org.example.Viewer"_s}};
        QTest::newRow("chosen with token")
            << portal::Response::Chosen << "org.example.Viewer.desktop"
            << "tok"
            << QVariantMap{{"choice", u"org.example.Viewer"_s}, {"activation_token", u"tok"_s}};
        QTest::newRow("chosen, no id") << portal::Response::Chosen << ""
                                       << "tok" << QVariantMap{};
        QTest::newRow("cancelled") << portal::Response::Cancelled << "org.example.Viewer.desktop"
                                   << "tok" << QVariantMap{};
        QTest::newRow("closed") << portal::Response::Closed << "x.desktop"
                                << "" << QVariantMap{};
    }
    void results() {
        QFETCH(portal::Response, response);
        QFETCH(QString, id);
        QFETCH(QString, token);
        QFETCH(QVariantMap, expected);
        const QVariantMap map = portal::results(response, id, token);
        QCOMPARE(map, expected);
        for (const QVariant& value : map)
            QCOMPARE(value.typeId(), QMetaType::QString); // "s" on the bus
    }

    void order_data() {
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<QVariantMap>("options");
        QTest::addColumn<QStringList>("expected");
        const QStringList abc{"a", "b", "c"};
        QTest::newRow("given order") << abc << QVariantMap{} << abc;
        QTest::newRow("last choice first")
            << abc << QVariantMap{{"last_choice", "c"}} << QStringList{"c", "a", "b"};
        QTest::newRow("last choice with suffix")
            << abc << QVariantMap{{"last_choice", "b.desktop"}} << QStringList{"b", "a", "c"};
        QTest::newRow("last choice not offered") << abc << QVariantMap{{"last_choice", "z"}} << abc;
        QTest::newRow("last choice not a string") << abc << QVariantMap{{"last_choice", 3}} << abc;
        QTest::newRow("duplicates and empties") << QStringList{"", "a", "a.desktop", "b", "a"}
                                                << QVariantMap{} << QStringList{"a", "b"};
        QTest::newRow("none") << QStringList{} << QVariantMap{{"last_choice", "a"}}
                              << QStringList{};
    }
    void order() {
        QFETCH(QStringList, choices);
        QFETCH(QVariantMap, options);
        QFETCH(QStringList, expected);
        QCOMPARE(portal::orderedChoices(choices, options), expected);
        QCOMPARE(portal::initialChoice(choices, options),
                 expected.isEmpty() ? std::nullopt : std::optional(expected.first()));
    }

    void requestedFile_data() {
        QTest::addColumn<QVariantMap>("options");
        QTest::addColumn<QString>("expected"); // the URL, empty for none
        QTest::newRow("uri") << QVariantMap{{"uri", "file:///tmp/a%20b.txt"}}
                             << "file:///tmp/a%20b.txt";
        QTest::newRow("document portal")
            << QVariantMap{{"uri", "file:///run/user/1000/doc/3f2a/x.pdf"}, {"filename", "x.pdf"}}
            << "file:///run/user/1000/doc/3f2a/x.pdf";
        QTest::newRow("remote uri, path")
            << QVariantMap{{"uri", "https://example.org/x"}, {"filename", "/tmp/x"}}
            << "file:///tmp/x";
        QTest::newRow("name only") << QVariantMap{{"filename", "x.pdf"}} << "";
        QTest::newRow("path as bytes")
            << QVariantMap{{"filename", QByteArray("/tmp/\xff.txt", 10) + '\0'}}
            << "file:///tmp/%FF.txt";
        QTest::newRow("nothing") << QVariantMap{{"content_type", "text/plain"}} << "";
    }
    void requestedFile() {
        QFETCH(QVariantMap, options);
        QFETCH(QString, expected);
        const std::optional<QUrl> url = portal::requestedFile(options);
        QCOMPARE(url ? QString::fromUtf8(url->toEncoded()) : QString(), expected);
    }

    // Over the bus: each way a request ends gives its code and results once.
    void answersOverTheBus_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<uint>("code");
        QTest::addColumn<QMap<QString, QString>>("results");
        QTest::newRow("chosen") << "chosen" << 0u
                                << QMap<QString, QString>{{"choice", "s=org.example.Editor"}};
        QTest::newRow("cancelled") << "cancelled" << 1u << QMap<QString, QString>{};
        QTest::newRow("closed by the portal") << "close" << 2u << QMap<QString, QString>{};
        // Its answer reaches no one: that the request was taken off the screen and closed shows.
        QTest::newRow("caller gone") << "vanish" << 2u << QMap<QString, QString>{};
    }
    void answersOverTheBus() {
        QFETCH(QString, way);
        QFETCH(uint, code);
        using Results = QMap<QString, QString>;
        QFETCH(Results, results);
        Backend backend(u"backend-"_s + way);
        QVERIFY(backend.chooser.registerService(QString()));
        QSignalSpy started(&backend.chooser, &PortalAppChooser::requestStarted);
        QSignalSpy ended(&backend.chooser, &PortalAppChooser::requestEnded);
        const QString handle = u"/org/freedesktop/portal/desktop/request/1_2/t"_s + way;
        const QStringList choices{"org.example.Viewer", "org.example.Editor"};
        std::optional<Call> call;
        // A caller that leaves: a process of its own, killed while it waits.
        QProcess gdbus;
        if (way == "vanish") {
            gdbus.start("gdbus",
                        {"call", "--session", "--timeout", "60", "--dest", backend.name,
                         "--object-path", chooserPath, "--method",
                         QString::fromLatin1(chooserInterface) + u".ChooseApplication"_s, handle,
                         "org.example.Caller", "", "['org.example.Viewer']", "{}"});
        } else {
            call = choose(QDBusConnection::sessionBus(), backend.name, handle, choices,
                          {{"last_choice", "org.example.Editor"}});
        }
        QVERIFY(started.wait(5000));
        QVERIFY(backend.chooser.current());
        QCOMPARE(backend.chooser.current()->handle, handle);
        QCOMPARE(backend.chooser.current()->appId, u"org.example.Caller"_s);

        if (way == "chosen")
            backend.chooser.answer(portal::Response::Chosen, editorId);
        else if (way == "cancelled")
            backend.chooser.answer(portal::Response::Cancelled, editorId);
        else if (way == "close")
            closeRequest(QDBusConnection::sessionBus(), backend.name, handle);
        else
            gdbus.kill();

        QTRY_VERIFY(backend.chooser.openCount() == 0);
        QCOMPARE(backend.chooser.current(), nullptr);
        // Only the request the user did not end is taken off the screen for them.
        QCOMPARE(ended.size(), way == "close" || way == "vanish" ? 1 : 0);
        if (call) {
            QTRY_VERIFY(call->done());
            QCOMPARE(call->answer(), std::pair(code, results));
        }
        gdbus.waitForFinished(5000);
        // The Request object goes with the request.
        QDBusMessage gone = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            backend.name, handle, u"org.freedesktop.impl.portal.Request"_s, u"Close"_s));
        QCOMPARE(gone.type(), QDBusMessage::ErrorMessage);
    }

    // One request on show at a time, the others wait in order; each caller gets its own answer;
    // one closed while waiting is answered at once and never shown.
    void requestsQueue() {
        Backend backend(u"backend-queue"_s);
        QVERIFY(backend.chooser.registerService(QString()));
        QSignalSpy started(&backend.chooser, &PortalAppChooser::requestStarted);
        QSignalSpy updated(&backend.chooser, &PortalAppChooser::choicesUpdated);
        QDBusConnection portal = QDBusConnection::sessionBus();
        const QString base = u"/org/freedesktop/portal/desktop/request/1_2/q"_s;
        Call first = choose(portal, backend.name, base + "1", {"org.example.Viewer"});
        Call second = choose(portal, backend.name, base + "2", {"org.example.Editor"});
        Call third = choose(portal, backend.name, base + "3", {"org.example.Reader"});
        QTRY_COMPARE(backend.chooser.openCount(), 3);
        QCOMPARE(started.size(), 1);
        QCOMPARE(backend.chooser.current()->handle, base + "1");

        // The same handle again is refused, not queued.
        Call again = choose(portal, backend.name, base + "1", {"org.example.Viewer"});
        QTRY_VERIFY(again.done());
        QVERIFY(again.pending.isError());
        QCOMPARE(backend.chooser.openCount(), 3);

        // New choices reach the request on show; a waiting one's are kept for its turn.
        QDBusMessage update = QDBusMessage::createMethodCall(
            backend.name, QString::fromLatin1(chooserPath), QString::fromLatin1(chooserInterface),
            u"UpdateChoices"_s);
        update << QVariant::fromValue(QDBusObjectPath(base + "1"))
               << QStringList{"org.example.Viewer", "org.example.Reader"};
        portal.call(update);
        QTRY_COMPARE(updated.size(), 1);
        QCOMPARE(backend.chooser.current()->choices,
                 (QStringList{"org.example.Viewer", "org.example.Reader"}));

        closeRequest(portal, backend.name, base + "2");
        QTRY_VERIFY(second.done());
        QCOMPARE(second.answer().first, 2u);
        QCOMPARE(started.size(), 1);
        QVERIFY(!first.done());

        backend.chooser.answer(portal::Response::Chosen, readerId);
        // Answering twice answers nothing more: the next request is not on show yet.
        backend.chooser.answer(portal::Response::Cancelled);
        QTRY_COMPARE(started.size(), 2);
        QCOMPARE(first.answer().second,
                 (QMap<QString, QString>{{"choice", "s=org.example.Reader"}}));
        QCOMPARE(backend.chooser.current()->handle, base + "3");
        QVERIFY(!third.done());
        backend.chooser.answer(portal::Response::Cancelled);
        QTRY_VERIFY(third.done());
        QCOMPARE(third.answer().first, 1u);
        QCOMPARE(backend.chooser.openCount(), 0);
    }

    // The chooser offers the receiver's applications in its order, the first counted down to,
    // hides the options that act on the files, hands each way out over once, launches nothing.
    void chooserHandsTheChoiceOver_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("chosenIndex"); // of the offered applications; -1: cancelled
        QTest::newRow("countdown") << "countdown" << 0;
        QTest::newRow("second tile") << "tile" << 1;
        QTest::newRow("preview double click") << "double click" << 0;
        QTest::newRow("close") << "close" << -1;
    }
    void chooserHandsTheChoiceOver() {
        QFETCH(QString, way);
        QFETCH(int, chosenIndex);
        sb.clearRecords();
        Recorder receiver;
        receiver.apps = {reader, viewer, editor};
        ChooserWindow shown;
        MainViewController& vc = *shown.vc;
        vc.setChoiceReceiver(&receiver);
        vc.configure({file}, true, false);
        vc.showFiles();
        QVERIFY(shown.waitUntilSettled());

        QList<QUrl> order;
        for (const AppCandidate& candidate : vc.allAppCandidates)
            order.append(candidate.url);
        QCOMPARE(order, receiver.apps);
        QVERIFY(vc.allAppCandidates.first().isDefault);
        QVERIFY(vc.timer);
        for (QWidget* hidden :
             std::initializer_list<QWidget*>{vc.ruleButton, vc.laterPopUp, vc.copyPopUp,
                                             vc.shareButton, vc.dragHandle, vc.setDefaultButton})
            QVERIFY2(!hidden->isVisibleTo(&shown.window), qPrintable(hidden->objectName()));
        QVERIFY(vc.closeButton->isVisibleTo(&shown.window));

        if (way == "countdown") {
            for (int i = 0; i < 60 && receiver.chosen.isEmpty(); ++i)
                vc.tick();
        } else if (way == "tile") {
            QTest::mouseClick(tiles(vc).at(1), Qt::LeftButton);
            QTest::mouseClick(tiles(vc).at(0), Qt::LeftButton);
        } else if (way == "double click") {
            vc.onPreviewDoubleClick();
        } else {
            vc.closeButton->click();
        }
        // Any later way out is not handed over again.
        vc.onCloseTapped();
        vc.openFilesAndQuit(viewer);

        QCOMPARE(receiver.chosen,
                 chosenIndex < 0 ? QList<QUrl>{} : QList<QUrl>{receiver.apps.at(chosenIndex)});
        QCOMPARE(receiver.cancelled, chosenIndex < 0 ? 1 : 0);
        QTest::qWait(300);
        for (const QString& id : {viewerId, editorId, readerId})
            QVERIFY(sb.recordedLaunches(id).isEmpty());
    }

    // New choices while the chooser is up: the row follows; the countdown stops when its
    // application is gone.
    void updatedChoicesRebuildTheRow() {
        Recorder receiver;
        receiver.apps = {viewer, editor};
        ChooserWindow shown;
        MainViewController& vc = *shown.vc;
        vc.setChoiceReceiver(&receiver);
        vc.configure({file}, false, false);
        vc.showFiles();
        QVERIFY(shown.waitUntilSettled());
        receiver.apps = {viewer, reader, editor};
        vc.refreshOfferedApplications();
        QCOMPARE(tiles(vc).size(), 3);
        QVERIFY(!vc.isTimerPaused);
        receiver.apps = {reader};
        vc.refreshOfferedApplications();
        QCOMPARE(vc.allAppCandidates.size(), 1);
        QCOMPARE(vc.allAppCandidates.first().url, reader);
        QVERIFY(vc.isTimerPaused);
    }
};

MARVOLINE_TEST_MAIN(TestPortal)
#include "tst_portal.moc"
