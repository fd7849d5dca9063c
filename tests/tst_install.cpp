// The installed program: `cmake --install` into a temporary prefix, then the
// installed executable runs on a file in a sandbox whose XDG_DATA_DIRS
// includes the prefix's share folder, on a real X server.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QToolButton>

using namespace marvoline;
using namespace marvoline::test;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");

// The centre of a control of the chooser, in window coordinates.
QPoint centreIn(QWidget* window, QWidget* control) {
    return control->mapTo(window, control->rect().center());
}

void click(const QString& window, QPoint at) {
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
             QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
             QStringLiteral("1")});
}

} // namespace

class TestInstall final : public QObject {
    Q_OBJECT

public:
    explicit TestInstall(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox)
        , m_prefix(sandbox.root() + QStringLiteral("/prefix")) {
        // Before the first GIO call of this process: the registry then sees the
        // installed entry as the desktop would. GIO passes over entries whose
        // program is not on the PATH.
        qputenv("XDG_DATA_DIRS",
                QFile::encodeName(m_sandbox.dataDir() + QLatin1Char(':') + share()));
        qputenv("PATH", QFile::encodeName(m_prefix + QStringLiteral("/bin:")) + qgetenv("PATH"));
        m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), {QStringLiteral("text/plain")});
        m_sandbox.writeMimeinfoCache({{QStringLiteral("text/plain"), {viewerId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private Q_SLOTS:
    void initTestCase() {
        QProcess install;
        install.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(PROJECT_BINARY_DIR),
                       QStringLiteral("--prefix"), m_prefix});
        QVERIFY(install.waitForFinished(60000));
        QCOMPARE(install.exitCode(), 0);
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }

    void installsItsFiles_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("executable") << QStringLiteral("bin/marvoline");
        QTest::newRow("desktop entry")
            << QStringLiteral("share/applications/org.marvoline.Marvoline.desktop");
        QTest::newRow("autostart entry")
            << QStringLiteral("etc/xdg/autostart/org.marvoline.Marvoline.Reminders.desktop");
        QTest::newRow("scalable icon")
            << QStringLiteral("share/icons/hicolor/scalable/apps/org.marvoline.Marvoline.svg");
        QTest::newRow("small icon")
            << QStringLiteral("share/icons/hicolor/16x16/apps/org.marvoline.Marvoline.png");
        QTest::newRow("large icon")
            << QStringLiteral("share/icons/hicolor/256x256/apps/org.marvoline.Marvoline.png");
        QTest::newRow("metainfo") << QStringLiteral(
            "share/metainfo/org.marvoline.Marvoline.metainfo.xml");
        QTest::newRow("manual page") << QStringLiteral("share/man/man1/marvoline.1");
    }
    void installsItsFiles() {
        QFETCH(QString, path);
        const QFileInfo file(m_prefix + QLatin1Char('/') + path);
        QVERIFY2(file.isFile() && file.size() > 0, qPrintable(file.filePath()));
        if (path.endsWith(QLatin1String(".png"))) {
            // Rendered at the size its folder names.
            const QImage image(file.filePath());
            const int size =
                path.section(QLatin1Char('/'), 3, 3).section(QLatin1Char('x'), 0, 0).toInt();
            QCOMPARE(image.size(), QSize(size, size));
        }
    }

    void installedEntryIsFoundByItsId() {
        const std::optional<QUrl> own =
            platform::registry().applicationForIdentifier(AppRegistry::ownIdentifier());
        QVERIFY(own);
        QCOMPARE(own->toLocalFile(),
                 share() + QStringLiteral("/applications/") + AppRegistry::ownIdentifier());
        QVERIFY(gioMime(QStringLiteral("text/plain")).contains(AppRegistry::ownIdentifier()));
    }

    // The registry offers the program for its own types; its row does not.
    void chooserLeavesItselfOut() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("install/list.txt"), "list\n");
        const QList<QUrl> registered = platform::registry().applicationsForFile(file);
        const QUrl own =
            *platform::registry().applicationForIdentifier(AppRegistry::ownIdentifier());
        QVERIFY(registered.contains(own));

        MainViewController vc;
        const QList<AppCandidate> candidates = vc.loadAppCandidates(file);
        QCOMPARE(candidates.size(), 1);
        QCOMPARE(candidates.first().url.path(), m_sandbox.appUrl(viewerId).path());
    }

    // The installed chooser made the default by its check box: GIO names it
    // afterwards, the default it replaced is remembered and opens the next file.
    void setAsDefaultFromTheInstalledProgram() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("install/notes.txt"), "notes\n");
        QProcess chooser;
        chooser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chooser.start(m_prefix + QStringLiteral("/bin/marvoline"),
                      {QFile::decodeName(localPath(file))});
        QVERIFY(chooser.waitForStarted());
        const QString window = findWindow(chooser.processId());
        QVERIFY2(!window.isEmpty(), "no chooser window appeared");

        // The same chooser laid out here tells where its controls are.
        QPoint checkBox, close;
        {
            AppDelegate twin;
            twin.openUrls({file});
            MainViewController* vc = twin.mainViewController;
            QVERIFY(vc);
            vc->pauseTimer();
            QVERIFY(QTest::qWaitForWindowExposed(twin.window));
            QTRY_VERIFY(twin.window->width() >= twin.window->minimumWidth());
            QTRY_COMPARE_WITH_TIMEOUT(windowGeometry(window).size(), twin.window->size(), 4000);
            QCoreApplication::processEvents();
            QVERIFY(vc->setDefaultButton->isVisible());
            checkBox = centreIn(twin.window, vc->setDefaultButton);
            close = centreIn(twin.window, vc->closeButton);
        }
        xdotool({QStringLiteral("windowraise"), window});
        click(window, checkBox);
        click(window, close);
        QVERIFY2(chooser.waitForFinished(10000), "the close button did not end the chooser");
        QCOMPARE(chooser.exitCode(), 0);

        QVERIFY2(gioMime(QStringLiteral("text/plain"))
                     .contains(QStringLiteral("Default application for “text/plain”: ") +
                               AppRegistry::ownIdentifier()),
                 qPrintable(gioMime(QStringLiteral("text/plain"))));
        // The installed entry was found: the program wrote none of its own.
        QVERIFY(!QFileInfo::exists(m_sandbox.dataHome() + QStringLiteral("/applications/") +
                                   AppRegistry::ownIdentifier()));
        QFile preferences(m_sandbox.preferencesPath());
        QVERIFY(preferences.open(QIODevice::ReadOnly));
        const QJsonObject saved = QJsonDocument::fromJson(preferences.readAll()).object();
        QCOMPARE(
            QUrl(saved.value(QStringLiteral("marvoline.previousDefault.text/plain")).toString())
                .path(),
            m_sandbox.appUrl(viewerId).path());

        // Now the system's default, it counts down to the remembered one.
        m_sandbox.clearRecords();
        QProcess again;
        again.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        again.start(m_prefix + QStringLiteral("/bin/marvoline"),
                    {QFile::decodeName(localPath(file))});
        QVERIFY2(again.waitForFinished(20000), "the countdown did not end the chooser");
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(viewerId).first(), QList<QByteArray>{localPath(file)});
    }

private:
    QString share() const { return m_prefix + QStringLiteral("/share"); }

    // What `gio mime TYPE` reports in this sandbox.
    static QString gioMime(const QString& type) {
        QProcess gio;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        gio.setProcessEnvironment(env);
        gio.start(QStringLiteral("gio"), {QStringLiteral("mime"), type});
        if (!gio.waitForFinished(10000))
            return {};
        return QString::fromUtf8(gio.readAllStandardOutput());
    }

    test::XdgSandbox& m_sandbox;
    const QString m_prefix;
    WindowManager m_wm;
};

MARVOLINE_TEST_MAIN(TestInstall)
#include "tst_install.moc"
