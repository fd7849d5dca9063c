// Rules: which rule holds for which files and in what order they are tried,
// the rules file under corruption and two writers, and rules at intake: a
// rule that opens at once hands the files over without a window, a failed
// launch falls back to the chooser with its message, "--choose" shows the
// chooser whatever the rules say and "--rules" prints them.
#include "support/Chooser.h"
#include "support/RawFiles.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "handlers/AppPaths.h"
#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/PreferencesStore.h"
#include "platform/RuleStore.h"
#include "views/AppIconButton.h"
#include "views/RuleDialog.h"

#include <QComboBox>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <sys/stat.h>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

const QString brokenId = u"org.example.Broken.desktop"_s;
const QString goneId = u"org.example.Gone.desktop"_s;

// A rule of the table, written short: "type=application/pdf pattern=*.PDF
// folder=/a open=viewer"; the outcome is open=, countdown= or show.
Rule rule(const QString& text) {
    Rule made;
    made.id = newRuleId();
    for (const QString& part : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = part.section(u'=', 0, 0);
        const QString value = part.section(u'=', 1);
        if (key == "type"_L1)
            made.type = value;
        else if (key == "pattern"_L1)
            made.pattern = value;
        else if (key == "folder"_L1)
            made.folder = value.toUtf8();
        else if (key == "open"_L1 || key == "countdown"_L1) {
            made.outcome = key == "open"_L1 ? RuleOutcome::OpenAtOnce : RuleOutcome::StartCountdown;
            made.application = value;
        }
    }
    return made;
}

} // namespace

class TestRules final : public QObject {
    Q_OBJECT

public:
    explicit TestRules(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        const QStringList types{u"application/pdf"_s, u"text/plain"_s};
        m_sandbox.addApp(viewerId, u"Viewer"_s, types);
        m_sandbox.addApp(editorId, u"Editor"_s, types);
        // GIO loads this entry (the script is there) but starting it fails.
        const QString broken = m_sandbox.root() + u"/bin/broken"_s;
        m_raw.write(broken, "#!/nonexistent/interpreter\n");
        QFile::setPermissions(broken, QFile::ReadOwner | QFile::ExeOwner);
        m_broken = m_sandbox.addRawDesktopFile(
            brokenId, "[Desktop Entry]\nType=Application\nName=Broken\nExec=" +
                          QFile::encodeName(broken) + " %F\n");
        m_sandbox.writeMimeinfoCache(
            {{types.at(0), {viewerId, editorId}}, {types.at(1), {viewerId, editorId}}});
        m_sandbox.writeDefaults({{types.at(0), viewerId}, {types.at(1), viewerId}});
    }

private:
    XdgSandbox& m_sandbox;
    RawFiles m_raw;
    QUrl m_broken;
    WindowManager m_wm;

    QString rulesPath() const { return m_sandbox.configHome() + u"/marvoline/rules.json"_s; }

    void writeRules(const QList<Rule>& rules) {
        QFile::remove(rulesPath());
        RuleStore store(rulesPath());
        for (const Rule& r : rules)
            QVERIFY(store.add(r));
    }

    // The names of the files next to the rules file that start with its name.
    QStringList besideRules() const {
        return QDir(m_sandbox.configHome() + u"/marvoline"_s)
            .entryList({u"rules.json*"_s}, QDir::Files, QDir::Name);
    }

    QProcessEnvironment programEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        return env;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }
    void init() {
        m_sandbox.clearRecords();
        QFile::remove(rulesPath());
    }

    void conditions_data() {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("holds");
        const QString pdf = u"application/pdf"_s;
        QTest::newRow("type") << "type=application/pdf show"
                              << "/d/a.pdf"_ba << pdf << true;
        QTest::newRow("other type") << "type=text/plain show"
                                    << "/d/a.pdf"_ba << pdf << false;
        QTest::newRow("glob, any case") << "pattern=*.pdf show"
                                        << "/d/A.PDF"_ba << pdf << true;
        QTest::newRow("glob, whole name") << "pattern=*.pdf show"
                                          << "/d/a.pdf.txt"_ba << pdf << false;
        QTest::newRow("glob on the name only") << "pattern=d* show"
                                               << "/d/a.pdf"_ba << pdf << false;
        QTest::newRow("in folder") << "folder=/a/b show"
                                   << "/a/b/x.pdf"_ba << pdf << true;
        QTest::newRow("in subfolder") << "folder=/a/b/ show"
                                      << "/a/b/c/x.pdf"_ba << pdf << true;
        QTest::newRow("folder prefix") << "folder=/a/b show"
                                       << "/a/bc/x.pdf"_ba << pdf << false;
        QTest::newRow("the folder itself") << "folder=/a/b show"
                                           << "/a/b"_ba << pdf << false;
        QTest::newRow("all three") << "type=application/pdf pattern=*.pdf folder=/a show"
                                   << "/a/x.pdf"_ba << pdf << true;
        QTest::newRow("type holds, folder not") << "type=application/pdf folder=/b show"
                                                << "/a/x.pdf"_ba << pdf << false;
        QTest::newRow("glob holds, type not") << "type=text/plain pattern=*.pdf show"
                                              << "/a/x.pdf"_ba << pdf << false;
        QTest::newRow("no condition") << "show"
                                      << "/a/x.pdf"_ba << pdf << false;
    }
    void conditions() {
        QFETCH(QString, rule);
        QFETCH(QByteArray, path);
        QFETCH(QString, type);
        QFETCH(bool, holds);
        const RuleFile file{path, type.isEmpty() ? std::nullopt : std::optional(type)};
        QCOMPARE(ruleHolds(::rule(rule), file), holds);
    }

    // Which rule decides: the first that holds for every file and whose
    // application is installed.
    void order_data() {
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QList<QByteArray>>("paths");
        QTest::addColumn<int>("deciding"); // -1: none
        const QList<QByteArray> both{"/a/x.pdf", "/a/y.txt"};
        QTest::newRow("first of two")
            << QStringList{u"folder=/a open=v"_s, u"folder=/a show"_s} << both << 0;
        QTest::newRow("second, first fails one file")
            << QStringList{u"pattern=*.pdf open=v"_s, u"folder=/a show"_s} << both << 1;
        QTest::newRow("gone application skipped")
            << QStringList{u"folder=/a open=gone"_s, u"folder=/a countdown=v"_s} << both << 1;
        QTest::newRow("only a gone one")
            << QStringList{u"folder=/a countdown=gone"_s} << both << -1;
        QTest::newRow("none holds") << QStringList{u"folder=/b show"_s} << both << -1;
        QTest::newRow("no files") << QStringList{u"folder=/a show"_s} << QList<QByteArray>{} << -1;
    }
    void order() {
        QFETCH(QStringList, rules);
        QFETCH(QList<QByteArray>, paths);
        QFETCH(int, deciding);
        QList<Rule> list;
        for (const QString& text : rules)
            list.append(rule(text));
        QList<RuleFile> files;
        for (const QByteArray& path : paths)
            files.append({path, std::nullopt});
        const auto installed = [](const QString& id) { return id != "gone"_L1; };
        QCOMPARE(decidingRule(list, files, installed).value_or(-1), deciding);
    }

    // Stored, read back in order, moved and removed; what the program cannot
    // read stays in the file.
    void storeKeepsOrderAndForeignEntries() {
        Rule latin1Folder = rule(u"folder=/tmp/x show"_s);
        latin1Folder.folder = "/tmp/caf\xe9";
        const QList<Rule> rules{rule(u"type=application/pdf open=a.desktop"_s),
                                rule(u"pattern=*.TXT countdown=b.desktop"_s), latin1Folder};
        writeRules(rules);
        RuleStore store(rulesPath());
        QCOMPARE(store.rules(), rules);
        QVERIFY(store.move(rules.at(2).id, -2));
        QCOMPARE(store.rules(), (QList<Rule>{rules.at(2), rules.at(0), rules.at(1)}));
        QVERIFY(!store.move(rules.at(2).id, -1)); // already first
        QVERIFY(store.remove(rules.at(0).id));
        QVERIFY(!store.remove(rules.at(0).id));
        QCOMPARE(store.rules(), (QList<Rule>{rules.at(2), rules.at(1)}));

        QJsonObject file = QJsonDocument::fromJson(XdgSandbox::readBytes(rulesPath())).object();
        QCOMPARE(file.value(u"version"_s).toInt(), RuleStore::formatVersion);
        QJsonArray list = file.value(u"rules"_s).toArray();
        list.prepend(QJsonObject{{u"id"_s, u"future"_s}, {u"outcome"_s, u"teleport"_s}});
        file.insert(u"rules"_s, list);
        XdgSandbox::writeBytes(rulesPath(), QJsonDocument(file).toJson());
        QCOMPARE(store.rules().size(), 2);
        QVERIFY(store.add(rules.at(0)));
        QCOMPARE(store.rules().size(), 3);
        QVERIFY(XdgSandbox::readBytes(rulesPath()).contains("teleport"));
    }

    // A file the program cannot take is read as no rules; a change moves it
    // aside (bytes kept) or, for a newer format, leaves it alone.
    void unreadableFiles_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("writable");
        QTest::newRow("not JSON") << "{\"rules\": [tru"_ba << true;
        QTest::newRow("not an object") << "[1, 2]"_ba << true;
        QTest::newRow("newer format") << R"({"version": 2, "rules": []})"_ba << false;
        QTest::newRow("rules not a list") << R"({"version": 1, "rules": {}})"_ba << false;
    }
    void unreadableFiles() {
        QFETCH(QByteArray, contents);
        QFETCH(bool, writable);
        XdgSandbox::writeBytes(rulesPath(), contents);
        RuleStore store(rulesPath());
        QVERIFY(store.rules().isEmpty());
        const Rule added = rule(u"pattern=*.pdf show"_s);
        QCOMPARE(store.add(added), writable);
        const QStringList beside = besideRules();
        if (!writable) {
            QCOMPARE(XdgSandbox::readBytes(rulesPath()), contents);
            return;
        }
        QCOMPARE(store.rules(), QList<Rule>{added});
        const QStringList aside = beside.filter(u".corrupt-"_s);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(XdgSandbox::readBytes(m_sandbox.configHome() + u"/marvoline/"_s + aside.first()),
                 contents);
        QFile::remove(m_sandbox.configHome() + u"/marvoline/"_s + aside.first());
    }

    // Two processes adding rules at the same time lose none.
    void concurrentWritersLoseNoRule() {
        QProcess writers[2];
        for (int i = 0; i < 2; ++i) {
            writers[i].setProcessChannelMode(QProcess::ForwardedChannels);
            writers[i].start(QStringLiteral(ADD_RULES_EXECUTABLE),
                             {rulesPath(), u"w%1-"_s.arg(i), u"60"_s});
        }
        for (QProcess& writer : writers) {
            QVERIFY(writer.waitForFinished(120000));
            QCOMPARE(writer.exitCode(), 0);
        }
        QSet<QString> ids;
        for (const Rule& r : RuleStore(rulesPath()).rules())
            ids.insert(r.id);
        QCOMPARE(ids.size(), 120);
        QVERIFY(ids.contains(u"w0-59"_s) && ids.contains(u"w1-0"_s));
    }

    // At intake: each outcome, as the delegate takes files from the command
    // line or a D-Bus open.
    void intake_data() {
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<bool>("choose");
        QTest::addColumn<QString>("opened");    // the recorded launch; empty: none
        QTest::addColumn<QString>("countdown"); // the tile counted down to; empty: no countdown
        QTest::addColumn<QString>("message");   // the message line's first word
        const QString pdfs = u"pattern=*.pdf "_s;
        const QString none;
        QTest::newRow("at once") << QStringList{pdfs + "open=" + editorId} << false << editorId
                                 << none << none;
        QTest::newRow("countdown on the editor")
            << QStringList{pdfs + "countdown=" + editorId} << false << none << u"Editor"_s << none;
        QTest::newRow("without countdown")
            << QStringList{pdfs + "show"} << false << none << none << none;
        QTest::newRow("gone application, next rule")
            << QStringList{pdfs + "open=" + goneId, pdfs + "countdown=" + editorId} << false << none
            << u"Editor"_s << none;
        QTest::newRow("type and folder")
            << QStringList{u"type=application/pdf folder="_s + m_sandbox.root() +
                           "/files open=" + editorId}
            << false << editorId << none << none;
        QTest::newRow("no rule holds") << QStringList{u"type=text/plain open="_s + editorId}
                                       << false << none << u"Viewer"_s << none;
        QTest::newRow("--choose") << QStringList{pdfs + "open=" + editorId} << true << none
                                  << u"Viewer"_s << none;
        QTest::newRow("launch fails") << QStringList{pdfs + "open=" + brokenId} << false << none
                                      << u"Viewer"_s << u"Broken"_s;
    }
    void intake() {
        QFETCH(QStringList, rules);
        QFETCH(bool, choose);
        QFETCH(QString, opened);
        QFETCH(QString, countdown);
        QFETCH(QString, message);
        QList<Rule> list;
        for (const QString& text : rules)
            list.append(rule(text));
        writeRules(list);
        const QUrl file = m_sandbox.writeFile(u"rules/report.pdf"_s, "%PDF-1.4\n");
        const qint64 usesBefore = usesOf(m_sandbox.appUrl(editorId));

        AppDelegate delegate;
        delegate.ignoreRules = choose;
        QSignalSpy terminate(&delegate, &AppDelegate::terminateRequested);
        delegate.pendingURLs = {file}; // as from the command line
        delegate.showCommandLineFiles();
        if (!opened.isEmpty()) {
            QVERIFY(!delegate.window);
            QTRY_COMPARE(terminate.size(), 1);
            QVERIFY(!delegate.window && !delegate.hasShownWindow());
            QTRY_COMPARE(m_sandbox.recordedLaunches(opened),
                         QList<QList<QByteArray>>{{localPath(file)}});
            QCOMPARE(usesOf(m_sandbox.appUrl(opened)), usesBefore + 1);
            return;
        }
        // A failed launch shows the files, paused, saying so.
        QTRY_VERIFY(delegate.mainViewController);
        MainViewController* vc = delegate.mainViewController;
        QCOMPARE(vc->isTimerPaused, !message.isEmpty());
        QCOMPARE(vc->messageLabel->text().section(u' ', 0, 0), message);
        vc->pauseTimer();
        QCOMPARE(bool(vc->timer), !countdown.isEmpty());
        if (!countdown.isEmpty()) {
            QVERIFY(vc->defaultAppButton);
            QCOMPARE(vc->defaultAppButton->title(), countdown);
        }
        QTest::qWait(200);
        QCOMPARE(terminate.size(), 0);
        QCOMPARE(m_sandbox.recordedLaunches(viewerId).size() +
                     m_sandbox.recordedLaunches(editorId).size(),
                 0);
    }

    // The Rule button's dialog proposes the first file's type, extension and
    // folder, stores the rule it is given and removes it again.
    // The folder is named in Latin-1, not UTF-8: the rule keeps its bytes.
    void dialogStoresTheRule() {
        const QByteArray folder = QFile::encodeName(m_sandbox.root()) + "/rules/caf\xe9";
        QDir().mkpath(m_sandbox.root() + u"/rules"_s);
        QCOMPARE(::mkdir(folder.constData(), 0700), 0);
        QVERIFY(m_raw.write(folder + "/Paper.PDF", "%PDF-1.4\n"));
        const QUrl file = fileUrlFromPath(folder + "/Paper.PDF");
        const auto vc = showing({file});
        vc->ruleButton->click();
        QVERIFY(vc->isTimerPaused);
        auto* dialog = vc->window()->findChild<RuleDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY2(dialog->typeBox->isChecked() && dialog->typeBox->text().contains(u"PDF"_s),
                 qPrintable(dialog->typeBox->text()));
        QCOMPARE(dialog->patternEdit->text(), u"*.pdf"_s);
        QCOMPARE(dialog->folderEdit->text(), QFile::decodeName(folder));
        dialog->folderBox->setChecked(true);
        dialog->countdownRadio->setChecked(true);
        dialog->appCombo->setCurrentIndex(dialog->appCombo->findText(u"Editor"_s));
        QVERIFY(dialog->addButton->isEnabled());
        dialog->addButton->click();
        QTRY_COMPARE(RuleStore(rulesPath()).rules().size(), 1);
        const Rule stored = RuleStore(rulesPath()).rules().first();
        QCOMPARE(stored.type, std::optional(u"application/pdf"_s));
        QVERIFY(stored.pattern.isEmpty());
        QCOMPARE(stored.folder, folder);
        QCOMPARE(stored.outcome, RuleOutcome::StartCountdown);
        QCOMPARE(stored.application, editorId);
        // Listed once the write has been heard back (until then: "No rules yet").
        QTRY_VERIFY(dialog->ruleList->item(0)->text().endsWith(u"count down to Editor"_s));
        QCOMPARE(dialog->ruleList->count(), 1);
        dialog->ruleList->setCurrentRow(0);
        dialog->removeButton->click();
        QTRY_VERIFY(RuleStore(rulesPath()).rules().isEmpty());
    }

    // The program itself: an "at once" rule opens the file and the program
    // ends without ever mapping a window; "--choose" maps one whatever the
    // rule; "--rules" prints the rules.
    void programEndToEnd() {
        writeRules({rule(u"pattern=*.pdf open="_s + editorId), rule(u"folder=/nowhere show"_s)});
        const QUrl file = m_sandbox.writeFile(u"rules/program.pdf"_s, "%PDF-1.4\n");

        QProcess atOnce;
        atOnce.setProcessEnvironment(programEnvironment());
        atOnce.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        atOnce.start(QStringLiteral(MARVOLINE_EXECUTABLE), {file.toLocalFile()});
        QVERIFY(atOnce.waitForStarted());
        QStringList mapped;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                mapped += visibleWindowsOf(atOnce.processId());
                return atOnce.state() == QProcess::NotRunning;
            }(),
            20000);
        QCOMPARE(atOnce.exitCode(), 0);
        QVERIFY2(mapped.isEmpty(), qPrintable(mapped.join(u' ')));
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId),
                     QList<QList<QByteArray>>{{localPath(file)}});

        QProcess choose;
        choose.setProcessEnvironment(programEnvironment());
        choose.start(QStringLiteral(MARVOLINE_EXECUTABLE), {u"--choose"_s, file.toLocalFile()});
        QVERIFY(choose.waitForStarted());
        const QString window = findWindow(choose.processId());
        QVERIFY(!window.isEmpty());
        // Handed to the running chooser: a plain open is still decided by
        // the rule there, "--choose" shows the files whatever it says.
        const QUrl second = m_sandbox.writeFile(u"rules/second.pdf"_s, "%PDF-1.4\n");
        const auto handOver = [&](const QStringList& arguments) {
            QProcess later;
            later.setProcessEnvironment(programEnvironment());
            later.start(QStringLiteral(MARVOLINE_EXECUTABLE), arguments);
            return later.waitForFinished(20000) && later.exitCode() == 0;
        };
        QVERIFY(handOver({second.toLocalFile()}));
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId).size(), 2);
        QCOMPARE(xdotool({u"getwindowname"_s, window}).trimmed(), u"program.pdf"_s);
        QVERIFY(handOver({u"--choose"_s, second.toLocalFile()}));
        QTRY_COMPARE(xdotool({u"getwindowname"_s, window}).trimmed(), u"second.pdf"_s);
        choose.kill();
        choose.waitForFinished();
        QCOMPARE(m_sandbox.recordedLaunches(editorId).size(), 2);

        QProcess print;
        print.setProcessEnvironment(programEnvironment());
        print.start(QStringLiteral(MARVOLINE_EXECUTABLE), {u"--rules"_s});
        QVERIFY(print.waitForFinished(10000));
        QCOMPARE(print.exitCode(), 0);
        const QStringList lines =
            QString::fromLocal8Bit(print.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines,
                 (QStringList{u"1. Files named *.pdf: open with Editor at once"_s,
                              u"2. Files in /nowhere: show the chooser without a countdown"_s}));
    }
};

MARVOLINE_TEST_MAIN(TestRules)
#include "tst_rules.moc"
