// What a screen reader finds in the chooser, read over AT-SPI by a client in
// another process on the session's accessibility bus: the controls' names and
// roles, and presses through their action interface that stop the countdown
// and open the files with a chosen application.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "platform/FilePaths.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace marvoline;
using namespace marvoline::test;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QString editorId = QStringLiteral("org.example.Editor.desktop");

struct Control {
    QString role;
    QString description;
    QStringList actions;
};

// Runs the AT-SPI client against the process; its output and exit code.
QPair<int, QByteArray> probe(qint64 pid, const QStringList& extra = {}) {
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(QStringLiteral(ATSPI_PYTHON),
                 QStringList{QStringLiteral(ATSPI_PROBE), QString::number(pid)} + extra);
    if (!client.waitForFinished(30000))
        return {-1, {}};
    return {client.exitCode(), client.readAllStandardOutput()};
}

} // namespace

class AccessibilityEndToEndTest : public QObject {
    Q_OBJECT

public:
    explicit AccessibilityEndToEndTest(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        const QStringList text{QStringLiteral("text/plain")};
        m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), text);
        m_sandbox.addApp(editorId, QStringLiteral("Editor"), text);
        m_sandbox.writeMimeinfoCache({{QStringLiteral("text/plain"), {viewerId, editorId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private Q_SLOTS:
    void namesRolesAndAPressThatOpensTheFiles() {
        const QList<QUrl> files{m_sandbox.writeFile(QStringLiteral("a11y/one.txt"), "1\n"),
                                m_sandbox.writeFile(QStringLiteral("a11y/two.txt"), "2\n")};
        QProcess chooser;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Qt exposes its widgets on the accessibility bus only when asked to
        // (a desktop asks when a screen reader is enabled).
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        chooser.setProcessEnvironment(env);
        chooser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        chooser.start(
            QStringLiteral(MARVOLINE_EXECUTABLE),
            {QFile::decodeName(localPath(files.at(0))), QFile::decodeName(localPath(files.at(1)))});
        QVERIFY(chooser.waitForStarted());
        QVERIFY2(!findWindow(chooser.processId()).isEmpty(), "no chooser window appeared");

        // First stop the countdown through the stop button's own action.
        const auto stopped = probe(chooser.processId(), {QStringLiteral("press"),
                                                         QStringLiteral("Stop automatic opening")});
        QCOMPARE(stopped.first, 0);
        QCOMPARE(stopped.second.trimmed(), QByteArray("pressed"));

        const auto listed = probe(chooser.processId());
        QCOMPARE(listed.first, 0);
        QMap<QString, Control> controls;
        for (const QByteArray& line : listed.second.split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.isEmpty() || !o.value(QStringLiteral("showing")).toBool())
                continue;
            QStringList actions;
            for (const QJsonValue& a : o.value(QStringLiteral("actions")).toArray())
                actions.append(a.toString().toLower());
            controls.insert(o.value(QStringLiteral("name")).toString(),
                            {o.value(QStringLiteral("role")).toString(),
                             o.value(QStringLiteral("description")).toString(), actions});
        }
        const QString button = QStringLiteral("push button");
        for (const QString& tile :
             {QStringLiteral("Open with Viewer"), QStringLiteral("Open with Editor")}) {
            QVERIFY2(controls.contains(tile), qPrintable(controls.keys().join(u'|')));
            QCOMPARE(controls.value(tile).role, button);
            QVERIFY(controls.value(tile).actions.contains(QStringLiteral("press")));
        }
        // The countdown was stopped: the default tile no longer says it opens by itself.
        QVERIFY(!controls.value(QStringLiteral("Open with Viewer"))
                     .description.contains(QStringLiteral("countdown")));
        QVERIFY(!controls.contains(QStringLiteral("Stop automatic opening")));
        for (const QString& option : {QStringLiteral("Rule"), QStringLiteral("Share"),
                                      QStringLiteral("Close"), QStringLiteral("Other…")}) {
            QVERIFY2(controls.contains(option), qPrintable(option));
            QCOMPARE(controls.value(option).role, button);
        }
        for (const QString& menu : {QStringLiteral("Later"), QStringLiteral("Copy")})
            QVERIFY2(controls.contains(menu), qPrintable(menu));
        const QString checkBox =
            QStringLiteral("Always ask with Marvoline for every plain text document");
        QVERIFY(controls.contains(checkBox));
        QCOMPARE(controls.value(checkBox).role, QStringLiteral("check box"));
        QVERIFY(controls.contains(QStringLiteral("Drag the files to another application")));
        // No control is known by the elided text it shows.
        for (const QString& name : controls.keys())
            QVERIFY2(!name.contains(u'…') || name == QStringLiteral("Other…"), qPrintable(name));

        // A press on the second tile opens all files with it, at once.
        const auto pressed = probe(chooser.processId(),
                                   {QStringLiteral("press"), QStringLiteral("Open with Editor")});
        QCOMPARE(pressed.first, 0);
        QVERIFY2(chooser.waitForFinished(5000), "the press did not open the files");
        QCOMPARE(chooser.exitCode(), 0);
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(editorId).first(),
                 (QList<QByteArray>{localPath(files.at(0)), localPath(files.at(1))}));
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
    }

private:
    test::XdgSandbox& m_sandbox;
};

MARVOLINE_TEST_MAIN(AccessibilityEndToEndTest)
#include "tst_e2e_accessibility.moc"
