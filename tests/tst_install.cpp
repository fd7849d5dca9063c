// The installed program: `cmake --install` into a temporary prefix, then the installed executable
// runs on a file in a sandbox whose XDG_DATA_DIRS includes the prefix's share folder, on a real
// X server.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/PreferencesStore.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QToolButton>

using namespace marvoline;
using namespace Qt::StringLiterals;

namespace {

const QString ownId = AppRegistry::ownIdentifier();

} // namespace

class TestInstall final : public QObject {
    Q_OBJECT

public:
    explicit TestInstall(test::XdgSandbox& sandbox)
        : sb(sandbox) {
        // Before the first GIO call of this process: the registry then sees the
        // installed entry as the desktop would. GIO passes over entries whose
        // program is not on the PATH.
        qputenv("XDG_DATA_DIRS", QFile::encodeName(sb.dataDir() + u':' + share()));
        qputenv("PATH", QFile::encodeName(prefix + u"/bin:"_s) + qgetenv("PATH"));
        sb.addApp(test::viewerId, u"Viewer"_s, {u"text/plain"_s});
        sb.writeMimeinfoCache({{u"text/plain"_s, {test::viewerId}}});
        sb.writeDefaults({{u"text/plain"_s, test::viewerId}});
    }

private:
    test::XdgSandbox& sb;
    const QString prefix = sb.root() + u"/prefix"_s;
    test::WindowManager wm;

    QString share() const { return prefix + u"/share"_s; }

private Q_SLOTS:
    void initTestCase() {
        QProcess install;
        install.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {u"--install"_s, QStringLiteral(PROJECT_BINARY_DIR), u"--prefix"_s, prefix});
        QVERIFY(install.waitForFinished(60000));
        QCOMPARE(install.exitCode(), 0);
        // Outside /usr the autostart entry stays below the prefix (the package's layout,
        // below /usr and /etc, is checked by check_package.sh).
        QVERIFY(QFileInfo::exists(
            prefix + u"/etc/xdg/autostart/org.marvoline.Marvoline.Reminders.desktop"_s));
        QVERIFY2(wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }

    // The installed chooser made the default by its check box: GIO names it
    // afterwards, and the default it replaced is remembered.
    void setAsDefaultFromTheInstalledProgram() {
        const QUrl file = sb.writeFile(u"install/notes.txt"_s, "notes\n");
        const QString program = prefix + u"/bin/marvoline"_s;
        test::ChooserProcess chooser(program, {file});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        // Both controls found on one layout of the twin, while the countdown runs.
        QPoint close;
        const std::optional<QPoint> checkBox = chooser.locate([&close](MainViewController& vc) {
            close =
                vc.closeButton->mapTo(vc.closeButton->window(), vc.closeButton->rect().center());
            return vc.setDefaultButton;
        });
        QVERIFY(checkBox);
        chooser.click(*checkBox);
        chooser.click(close);
        QVERIFY2(chooser.endsWell(10000), "the close button did not end the chooser");

        QCOMPARE(sb.gioDefault(u"text/plain"_s), ownId);
        // GIO found the installed entry: the program wrote none of its own.
        QVERIFY(!QFileInfo::exists(sb.dataHome() + u"/applications/"_s + ownId));
        const QString key = MainViewController::previousDefaultKeyPrefix + u"text/plain"_s;
        QCOMPARE(PreferencesStore::standard().value(key).toString(),
                 sb.appUrl(test::viewerId).path());
    }
};

MARVOLINE_TEST_MAIN(TestInstall)
#include "tst_install.moc"
