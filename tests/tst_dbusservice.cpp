#include "support/TestMain.h"

#include "platform/FilePaths.h"
#include "platform/dbus/ApplicationService.h"
#include "platform/dbus/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QSignalSpy>

#include <memory>

using namespace marvoline;

namespace {

const QString busName = QString::fromLatin1(SingleInstance::busName);
const QString objectPath = QString::fromLatin1(ApplicationService::objectPath);
const QString interfaceName = QString::fromLatin1(ApplicationService::interfaceName);

// A call from a separate connection, answered through the event loop.
struct Call {
    std::unique_ptr<QDBusPendingCallWatcher> watcher;
    bool done() const { return watcher->isFinished(); }
    QDBusMessage reply() const { return watcher->reply(); }
};

Call callService(QDBusConnection from, const QString& destination, const QString& method,
                 const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(destination, objectPath, interfaceName, method);
    message.setArguments(arguments);
    return Call{std::make_unique<QDBusPendingCallWatcher>(from.asyncCall(message))};
}

QDBusConnection privateConnection(const QString& name) {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

} // namespace

// The exported object and the claim of the bus name, with several connections
// of this one process to a private session bus.
class TestDBusService : public QObject {
    Q_OBJECT

public:
    explicit TestDBusService(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void serviceExportsOnlyTheInterface();
    void serviceTurnsCallsIntoSignals();
    void serviceKeepsUriBytes();
    void servicePassesKnownActionsOnly();
    void serviceRefusesWhenClosing();

    void firstClaimsSecondForwards();
    void forwardFailsWhenPrimaryRefuses();
    void nameFreedWhenPrimaryLeaves();
    void noBusMeansStandalone();

private:
    static bool nameOwned();

    test::XdgSandbox& m_sandbox;
    QStringList m_connections;
};

void TestDBusService::initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "this test needs its own session bus (dbus-run-session)");
}

void TestDBusService::cleanup() {
    for (const QString& name : m_connections)
        QDBusConnection::disconnectFromBus(name);
    m_connections.clear();
    // The next test starts with the name free.
    QTRY_VERIFY(!nameOwned());
}

bool TestDBusService::nameOwned() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(busName);
}

// ---- the exported object -----------------------------------------------------

void TestDBusService::serviceExportsOnlyTheInterface() {
    m_connections << QStringLiteral("svc");
    QDBusConnection server = privateConnection(QStringLiteral("svc"));
    ApplicationService service;
    QVERIFY(server.registerObject(objectPath, &service, QDBusConnection::ExportScriptableSlots));

    QDBusMessage introspect = QDBusMessage::createMethodCall(
        server.baseService(), objectPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    QDBusPendingCallWatcher watcher(QDBusConnection::sessionBus().asyncCall(introspect));
    QTRY_VERIFY(watcher.isFinished());
    QVERIFY2(!watcher.isError(), qPrintable(watcher.error().message()));
    const QString xml = watcher.reply().arguments().value(0).toString();
    const qsizetype begin =
        xml.indexOf(QStringLiteral("<interface name=\"org.freedesktop.Application\">"));
    QVERIFY2(begin >= 0, qPrintable(xml));
    const QString application =
        xml.mid(begin, xml.indexOf(QStringLiteral("</interface>"), begin) - begin);
    QCOMPARE(application.count(QStringLiteral("<method ")), 3);
    QVERIFY(application.contains(QStringLiteral("<method name=\"Activate\">")));
    QVERIFY(application.contains(QStringLiteral("<method name=\"Open\">")));
    QVERIFY(
        application.contains(QStringLiteral("<arg name=\"uris\" type=\"as\" direction=\"in\"/>")));
    QVERIFY(application.contains(QStringLiteral("<method name=\"ActivateAction\">")));
    // Neither the Qt signals nor the helpers reach the bus.
    QVERIFY(!application.contains(QStringLiteral("<signal")));
    QVERIFY(!xml.contains(QStringLiteral("openRequested")));
    QVERIFY(!xml.contains(QStringLiteral("setAcceptedActions")));
}

void TestDBusService::serviceTurnsCallsIntoSignals() {
    m_connections << QStringLiteral("svc");
    QDBusConnection server = privateConnection(QStringLiteral("svc"));
    ApplicationService service;
    QVERIFY(server.registerObject(objectPath, &service, QDBusConnection::ExportScriptableSlots));
    QSignalSpy activated(&service, &ApplicationService::activateRequested);
    QSignalSpy opened(&service, &ApplicationService::openRequested);

    QDBusConnection client = QDBusConnection::sessionBus();
    const Call activate =
        callService(client, server.baseService(), QStringLiteral("Activate"), {QVariantMap()});
    QTRY_VERIFY(activate.done());
    QCOMPARE(activate.reply().type(), QDBusMessage::ReplyMessage);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(opened.count(), 0);

    const QStringList uris = {QStringLiteral("file:///tmp/one.txt"),
                              QStringLiteral("file:///tmp/two%20words.txt")};
    const Call open = callService(
        client, server.baseService(), QStringLiteral("Open"),
        {uris, QVariantMap{{QStringLiteral("activation-token"), QStringLiteral("xyz")}}});
    QTRY_VERIFY(open.done());
    QCOMPARE(open.reply().type(), QDBusMessage::ReplyMessage);
    QCOMPARE(opened.count(), 1);
    const auto urls = opened.at(0).at(0).value<QList<QUrl>>();
    QCOMPARE(urls.size(), 2);
    QCOMPARE(localPath(urls.at(0)), QByteArray("/tmp/one.txt"));
    QCOMPARE(localPath(urls.at(1)), QByteArray("/tmp/two words.txt"));
    QCOMPARE(activated.count(), 1);
}

void TestDBusService::serviceKeepsUriBytes() {
    const QByteArray latin1Name = "/tmp/caf\xe9 #1?.txt";
    const QUrl url = fileUrlFromPath(latin1Name);
    const QStringList uris = {QString::fromLatin1(url.toEncoded()), QString(),
                              QStringLiteral("file:///tmp/%E3%81%82.txt")};
    const QList<QUrl> urls = ApplicationService::urlsFromUris(uris);
    QCOMPARE(urls.size(), 2); // the empty string is no URL
    QCOMPARE(localPath(urls.at(0)), latin1Name);
    QCOMPARE(urls.at(0), url);
    QCOMPARE(localPath(urls.at(1)), QByteArray("/tmp/\xe3\x81\x82.txt"));
}

void TestDBusService::servicePassesKnownActionsOnly() {
    m_connections << QStringLiteral("svc");
    QDBusConnection server = privateConnection(QStringLiteral("svc"));
    ApplicationService service;
    service.setAcceptedActions({QStringLiteral("reminder-response")});
    QVERIFY(server.registerObject(objectPath, &service, QDBusConnection::ExportScriptableSlots));
    QSignalSpy actions(&service, &ApplicationService::actionRequested);
    QSignalSpy activated(&service, &ApplicationService::activateRequested);

    QDBusConnection client = QDBusConnection::sessionBus();
    const QVariantMap userInfo{{QStringLiteral("filePath"), QStringLiteral("/tmp/r.pdf")},
                               {QStringLiteral("count"), 3}};
    const Call unknown = callService(client, server.baseService(), QStringLiteral("ActivateAction"),
                                     {QStringLiteral("quit"), QVariantList{}, QVariantMap()});
    const Call known =
        callService(client, server.baseService(), QStringLiteral("ActivateAction"),
                    {QStringLiteral("reminder-response"),
                     QVariantList{QVariant::fromValue(QDBusVariant(QVariant::fromValue(userInfo)))},
                     QVariantMap()});
    QTRY_VERIFY(unknown.done() && known.done());
    QCOMPARE(unknown.reply().type(), QDBusMessage::ReplyMessage);
    QCOMPARE(known.reply().type(), QDBusMessage::ReplyMessage);

    QCOMPARE(actions.count(), 1);
    QCOMPARE(actions.at(0).at(0).toString(), QStringLiteral("reminder-response"));
    const QVariantList parameter = actions.at(0).at(1).toList();
    QCOMPARE(parameter.size(), 1);
    QCOMPARE(parameter.at(0).typeId(), QMetaType::QVariantMap);
    const QVariantMap received = parameter.at(0).toMap();
    QCOMPARE(received.value(QStringLiteral("filePath")).toString(), QStringLiteral("/tmp/r.pdf"));
    QCOMPARE(received.value(QStringLiteral("count")).toInt(), 3);
    QCOMPARE(activated.count(), 0);
}

void TestDBusService::serviceRefusesWhenClosing() {
    m_connections << QStringLiteral("svc");
    QDBusConnection server = privateConnection(QStringLiteral("svc"));
    ApplicationService service;
    QVERIFY(server.registerObject(objectPath, &service, QDBusConnection::ExportScriptableSlots));
    QSignalSpy opened(&service, &ApplicationService::openRequested);
    QSignalSpy activated(&service, &ApplicationService::activateRequested);

    service.setAcceptingRequests(false);
    QDBusConnection client = QDBusConnection::sessionBus();
    const Call open = callService(client, server.baseService(), QStringLiteral("Open"),
                                  {QStringList{QStringLiteral("file:///tmp/x")}, QVariantMap()});
    const Call activate =
        callService(client, server.baseService(), QStringLiteral("Activate"), {QVariantMap()});
    QTRY_VERIFY(open.done() && activate.done());
    QCOMPARE(open.reply().type(), QDBusMessage::ErrorMessage);
    QCOMPARE(open.reply().errorName(), QString::fromLatin1(ApplicationService::closingError));
    QCOMPARE(activate.reply().type(), QDBusMessage::ErrorMessage);
    QCOMPARE(opened.count(), 0);
    QCOMPARE(activated.count(), 0);
}

// ---- claim and hand-over -------------------------------------------------------

void TestDBusService::firstClaimsSecondForwards() {
    m_connections << QStringLiteral("first") << QStringLiteral("second");
    const QDBusConnection firstBus = privateConnection(QStringLiteral("first"));
    const QDBusConnection secondBus = privateConnection(QStringLiteral("second"));

    ApplicationService firstService;
    SingleInstance first(firstService);
    QSignalSpy firstPrimary(&first, &SingleInstance::becamePrimary);
    QSignalSpy firstSecondary(&first, &SingleInstance::isSecondary);
    QSignalSpy firstAlone(&first, &SingleInstance::standalone);
    QSignalSpy opened(&firstService, &ApplicationService::openRequested);
    QSignalSpy activated(&firstService, &ApplicationService::activateRequested);

    first.start(firstBus);
    // The outcome never arrives from within start().
    QCOMPARE(firstPrimary.count() + firstSecondary.count() + firstAlone.count(), 0);
    QCOMPARE(first.role(), SingleInstance::Role::Undecided);
    QVERIFY(firstPrimary.wait(5000));
    QCOMPARE(first.role(), SingleInstance::Role::Primary);
    QCOMPARE(firstSecondary.count() + firstAlone.count(), 0);
    QCOMPARE(QDBusConnection::sessionBus().interface()->serviceOwner(busName).value(),
             firstBus.baseService());

    ApplicationService secondService;
    SingleInstance second(secondService);
    QSignalSpy secondPrimary(&second, &SingleInstance::becamePrimary);
    QSignalSpy secondSecondary(&second, &SingleInstance::isSecondary);
    QSignalSpy secondAlone(&second, &SingleInstance::standalone);
    QSignalSpy forwarded(&second, &SingleInstance::forwarded);
    QSignalSpy secondOpened(&secondService, &ApplicationService::openRequested);
    second.start(secondBus);
    QVERIFY(secondSecondary.wait(5000));
    QCOMPARE(second.role(), SingleInstance::Role::Secondary);
    QCOMPARE(secondPrimary.count() + secondAlone.count(), 0);
    // The name stays with the first.
    QCOMPARE(QDBusConnection::sessionBus().interface()->serviceOwner(busName).value(),
             firstBus.baseService());

    const QList<QUrl> files = {fileUrlFromPath("/tmp/b.txt"),
                               fileUrlFromPath("/tmp/with space/\xff.txt")};
    second.forward(files);
    QVERIFY(forwarded.wait(5000));
    QCOMPARE(forwarded.at(0).at(0).toBool(), true);
    QCOMPARE(opened.count(), 1);
    const auto received = opened.at(0).at(0).value<QList<QUrl>>();
    QCOMPARE(received, files);
    QCOMPARE(localPath(received.at(1)), QByteArray("/tmp/with space/\xff.txt"));
    QCOMPARE(secondOpened.count(), 0);
    QCOMPARE(activated.count(), 0);

    // Nothing to hand over: the running chooser is asked to come forward.
    second.forward({});
    QVERIFY(forwarded.wait(5000));
    QCOMPARE(forwarded.at(1).at(0).toBool(), true);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(opened.count(), 1);

    // The primary itself has nobody to forward to.
    QSignalSpy firstForwarded(&first, &SingleInstance::forwarded);
    first.forward(files);
    QVERIFY(firstForwarded.wait(5000));
    QCOMPARE(firstForwarded.at(0).at(0).toBool(), false);
    QCOMPARE(opened.count(), 1);
}

void TestDBusService::forwardFailsWhenPrimaryRefuses() {
    m_connections << QStringLiteral("first") << QStringLiteral("second");
    ApplicationService firstService;
    SingleInstance first(firstService);
    QSignalSpy firstPrimary(&first, &SingleInstance::becamePrimary);
    first.start(privateConnection(QStringLiteral("first")));
    QVERIFY(firstPrimary.wait(5000));

    ApplicationService secondService;
    SingleInstance second(secondService);
    QSignalSpy secondSecondary(&second, &SingleInstance::isSecondary);
    QSignalSpy forwarded(&second, &SingleInstance::forwarded);
    second.start(privateConnection(QStringLiteral("second")));
    QVERIFY(secondSecondary.wait(5000));

    // The first is on its way out: the files must not be reported as taken.
    firstService.setAcceptingRequests(false);
    QSignalSpy opened(&firstService, &ApplicationService::openRequested);
    second.forward({fileUrlFromPath("/tmp/late.txt")});
    QVERIFY(forwarded.wait(5000));
    QCOMPARE(forwarded.at(0).at(0).toBool(), false);
    QCOMPARE(opened.count(), 0);
}

void TestDBusService::nameFreedWhenPrimaryLeaves() {
    m_connections << QStringLiteral("first") << QStringLiteral("second") << QStringLiteral("third");
    auto firstService = std::make_unique<ApplicationService>();
    auto first = std::make_unique<SingleInstance>(*firstService);
    QSignalSpy firstPrimary(first.get(), &SingleInstance::becamePrimary);
    first->start(privateConnection(QStringLiteral("first")));
    QVERIFY(firstPrimary.wait(5000));

    ApplicationService secondService;
    SingleInstance second(secondService);
    QSignalSpy secondSecondary(&second, &SingleInstance::isSecondary);
    QSignalSpy forwarded(&second, &SingleInstance::forwarded);
    second.start(privateConnection(QStringLiteral("second")));
    QVERIFY(secondSecondary.wait(5000));

    // The primary's process ends (its connection goes away) before the
    // hand-over reaches it.
    first.reset();
    firstService.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("first"));
    QTRY_VERIFY(!nameOwned());
    second.forward({fileUrlFromPath("/tmp/orphan.txt")});
    QVERIFY(forwarded.wait(5000));
    QCOMPARE(forwarded.at(0).at(0).toBool(), false);

    // The next process takes the free name.
    ApplicationService thirdService;
    SingleInstance third(thirdService);
    QSignalSpy thirdPrimary(&third, &SingleInstance::becamePrimary);
    third.start(privateConnection(QStringLiteral("third")));
    QVERIFY(thirdPrimary.wait(5000));
    QCOMPARE(third.role(), SingleInstance::Role::Primary);
}

void TestDBusService::noBusMeansStandalone() {
    const QString deadAddress =
        QStringLiteral("unix:path=") + m_sandbox.root() + QStringLiteral("/no-bus-here");
    m_connections << QStringLiteral("dead");
    const QDBusConnection dead = QDBusConnection::connectToBus(deadAddress, QStringLiteral("dead"));
    QVERIFY(!dead.isConnected());

    ApplicationService service;
    SingleInstance instance(service);
    QSignalSpy alone(&instance, &SingleInstance::standalone);
    QSignalSpy primary(&instance, &SingleInstance::becamePrimary);
    QSignalSpy forwarded(&instance, &SingleInstance::forwarded);
    instance.start(dead);
    QCOMPARE(alone.count(), 0); // not from within start()
    QVERIFY(alone.wait(5000));
    QCOMPARE(instance.role(), SingleInstance::Role::Standalone);
    QCOMPARE(primary.count(), 0);

    instance.forward({fileUrlFromPath("/tmp/x")});
    QVERIFY(forwarded.wait(5000));
    QCOMPARE(forwarded.at(0).at(0).toBool(), false);
}

MARVOLINE_TEST_MAIN(TestDBusService)
#include "tst_dbusservice.moc"
