// The chooser as the application chooser of Debian's own xdg-desktop-portal, end to end: on
// the test's session bus, the portal started with the program's .portal file, the program
// started by D-Bus activation, a client outside a sandbox asking the portal to open a file
// (support/portal_open_file.py). The chooser shows, a key or the countdown picks, and the
// portal starts the application chosen, whose recording proves it; the user's Close, the
// portal's Close and two requests in a row end as they should.
#include "support/PrivateBus.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "platform/FilePaths.h"
#include "platform/dbus/PortalAppChooser.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <memory>

#include <signal.h>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

constexpr auto portalProgram = "/usr/libexec/xdg-desktop-portal";
constexpr auto permissionStoreProgram = "/usr/libexec/xdg-permission-store";

} // namespace

class TestEndToEndPortal final : public QObject {
    Q_OBJECT

public:
    explicit TestEndToEndPortal(XdgSandbox& sandbox)
        : sb(sandbox)
        , bus(sandbox) {
        // One file type per test: the portal remembers the last choice for each.
        const QStringList types{"text/plain",    "text/csv",    "text/html",
                                "text/markdown", "text/x-csrc", "text/x-python"};
        QMap<QString, QStringList> cache;
        for (const QString& type : types)
            cache.insert(type, {viewerId, editorId});
        sb.addApp(viewerId, "Viewer", types);
        sb.addApp(editorId, "Editor", types);
        sb.writeMimeinfoCache(cache);
        // The bus starts the permission store and the chooser when they are first called.
        const QString services = sb.dataDir() + "/dbus-1/services/";
        XdgSandbox::writeBytes(services + "org.freedesktop.impl.portal.PermissionStore.service",
                               "[D-BUS Service]\nName=org.freedesktop.impl.portal.PermissionStore\n"
                               "Exec=" +
                                   QByteArray(permissionStoreProgram) + "\n");
        XdgSandbox::writeBytes(
            services + PortalAppChooser::serviceName + ".service",
            "[D-BUS Service]\nName=" + QByteArray(PortalAppChooser::serviceName) +
                "\nExec=" MARVOLINE_EXECUTABLE " --portal\n");
        QDir().mkpath(portalsDir());
        QFile::copy(MARVOLINE_SOURCE_DIR "/resources/marvoline.portal",
                    portalsDir() + "/marvoline.portal");
    }

private:
    XdgSandbox& sb;
    PrivateBus bus;
    WindowManager wm;
    QProcess portal;
    QString portalsDir() const { return sb.root() + "/portals"; }
    QDBusConnection connection() const {
        return QDBusConnection::connectToBus(bus.address(), "e2e-portal");
    }

    // A client's request to open the file, with its output read line by line.
    struct Ask {
        QProcess process;
        QStringList lines;
        // The first line that begins with the prefix, once it comes.
        QString waitFor(const QString& prefix, int timeoutMs) {
            QString found;
            (void)QTest::qWaitFor(
                [&] {
                    while (process.canReadLine())
                        lines.append(QString::fromUtf8(process.readLine()).trimmed());
                    for (const QString& line : std::as_const(lines)) {
                        if (line.startsWith(prefix))
                            found = line;
                    }
                    return !found.isEmpty() || process.state() == QProcess::NotRunning;
                },
                timeoutMs);
            return found;
        }
    };

    std::unique_ptr<Ask> ask(const QUrl& file) {
        auto request = std::make_unique<Ask>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        request->process.setProcessEnvironment(env);
        request->process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        request->process.start("/usr/bin/python3",
                               {MARVOLINE_SOURCE_DIR "/tests/support/portal_open_file.py",
                                QFile::decodeName(localPath(file))});
        return request;
    }

    // The chooser process the bus started, once it serves the portal.
    qint64 chooserPid() {
        qint64 pid = 0;
        (void)QTest::qWaitFor(
            [&] {
                const QDBusReply<uint> reply =
                    connection().interface()->servicePid(PortalAppChooser::serviceName);
                pid = reply.isValid() ? reply.value() : 0;
                return pid > 0;
            },
            20000);
        return pid;
    }

    static void press(const QString& window, const QStringList& keys) {
        xdotool({"windowactivate", "--sync", window});
        xdotool(QStringList{"key", "--clearmodifiers", "--delay", "80"} + keys);
    }

    QList<QList<QByteArray>> launches(const QString& id) const { return sb.recordedLaunches(id); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(!bus.address().isEmpty());
        QVERIFY(QFile::exists(portalProgram));
        QVERIFY(wm.start());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        env.insert("XDG_DESKTOP_PORTAL_DIR", portalsDir());
        env.insert("XDG_CURRENT_DESKTOP", "Marvoline");
        portal.setProcessEnvironment(env);
        portal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        portal.start(portalProgram, {"-r"});
        QVERIFY(portal.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            connection().interface()->isServiceRegistered("org.freedesktop.portal.Desktop"), 20000);
    }

    void init() { sb.clearRecords(); }

    // The countdown runs out on the portal's first choice, a key picks the next one, and the
    // portal opens the file with it; Escape and the window manager's close cancel; the portal's
    // Close takes the chooser down. Only a choice opens anything.
    void requestEnds_data() {
        QTest::addColumn<QString>("name"); // one type per row: the portal remembers choices
        // None: the countdown. "close": then the portal's Close (a key first stops the countdown,
        // so only the Close takes the chooser down).
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("opener");
        QTest::newRow("countdown") << "countdown.txt" << QStringList{} << "response 0" << viewerId;
        QTest::newRow("key") << "key.csv" << QStringList{"Right", "Return"} << "response 0"
                             << editorId;
        QTest::newRow("Escape") << "escape.html" << QStringList{"Escape"} << "response 1"
                                << "";
        QTest::newRow("close button") << "frame.md" << QStringList{"alt+F4"} << "response 1"
                                      << "";
        QTest::newRow("portal's Close") << "portal.c" << QStringList{"Right", "close"} << "closed"
                                        << "";
    }
    void requestEnds() {
        QFETCH(QString, name);
        QFETCH(QStringList, keys);
        QFETCH(QString, ending);
        QFETCH(QString, opener);
        const QUrl file = sb.writeFile("portal/" + name, "a,b\n");
        const auto request = ask(file);
        QVERIFY(!request->waitFor("handle ", 20000).isEmpty());
        const qint64 pid = chooserPid();
        const QString window = findWindow(pid);
        QVERIFY(!window.isEmpty());
        QCOMPARE(runTool("xdotool", {"getwindowname", window}).trimmed(), name);
        // The program's icon in the title bar, in its sizes (openbox puts a single picture of
        // its own on a window without one).
        QTRY_VERIFY(runTool("xprop", {"-id", window, "_NET_WM_ICON"}).count("Icon (") > 1);
        if (keys.removeAll("close") > 0) {
            press(window, keys);
            ::kill(pid_t(request->process.processId()), SIGUSR1);
        } else if (!keys.isEmpty()) {
            press(window, keys);
        }
        QCOMPARE(request->waitFor(ending.section(' ', 0, 0), 20000), ending);
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowsOf(pid).isEmpty(), 10000);
        if (opener.isEmpty())
            QTest::qWait(6000); // longer than the countdown: a chooser left behind would open
        else                    // the portal started the application with the file
            QTRY_COMPARE_WITH_TIMEOUT(launches(opener), QList<QList<QByteArray>>{{localPath(file)}},
                                      10000);
        QCOMPARE(launches(viewerId).size() + launches(editorId).size(), opener.isEmpty() ? 0 : 1);
    }

    // Two requests at once: one chooser after the other, each caller answered once. The
    // third request of the type counts down to the choice made before (the portal's last
    // choice, shown first).
    void twoRequestsInARow() {
        const QUrl file = sb.writeFile("portal/two.py", "print()\n");
        const auto first = ask(file);
        const auto second = ask(file);
        QVERIFY(!first->waitFor("handle ", 20000).isEmpty());
        QVERIFY(!second->waitFor("handle ", 20000).isEmpty());
        const qint64 pid = chooserPid();
        QString window = findWindow(pid);
        QVERIFY(!window.isEmpty());
        QCOMPARE(visibleWindowsOf(pid).size(), 1);
        press(window, {"Escape"});
        QTRY_VERIFY_WITH_TIMEOUT(!(window = visibleWindowsOf(pid).value(0)).isEmpty(), 10000);
        QCOMPARE(visibleWindowsOf(pid).size(), 1);
        press(window, {"Right", "Return"});
        const QStringList answers{first->waitFor("response ", 20000),
                                  second->waitFor("response ", 20000)};
        QCOMPARE(answers.count("response 1"), 1);
        QCOMPARE(answers.count("response 0"), 1); // the recording says which application
        QTRY_COMPARE_WITH_TIMEOUT(launches(editorId).size(), 1, 10000);
        QCOMPARE(launches(viewerId).size(), 0);

        const auto third = ask(file);
        QVERIFY(!third->waitFor("handle ", 20000).isEmpty());
        QCOMPARE(third->waitFor("response ", 20000), "response 0");
        QTRY_COMPARE_WITH_TIMEOUT(launches(editorId).size(), 2, 10000);
        // Every caller heard once.
        for (Ask* request : {first.get(), second.get(), third.get()}) {
            request->waitFor("never", 500);
            QCOMPARE(request->lines.filter(QRegularExpression("^(response|closed)")).size(), 1);
        }
    }
};

MARVOLINE_TEST_MAIN(TestEndToEndPortal)
#include "tst_e2e_portal.moc"
