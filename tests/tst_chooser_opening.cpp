// Opening the files for real: a desktop entry whose Exec records its arguments receives them, the
// use is counted first, the default switch is made before the launch, a failed launch keeps the
// chooser, nothing opens twice; the application picker finds any application by its keywords
// and opens the files with it.
#include "support/Chooser.h"
#include "support/PrivateBus.h"
#include "support/RawFiles.h"
#include "support/TestMain.h"

#include "main/AppDelegate.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/PreferencesStore.h"
#include "views/ApplicationPickerDialog.h"
#include "views/MenuButton.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

const QString pickedId = u"org.example.Picked.desktop"_s;

// The picker's rows on show; one that cannot be chosen in brackets.
QStringList shownRows(const ApplicationPickerDialog& picker) {
    const auto* list = picker.findChild<QListWidget*>(u"applications"_s);
    QStringList rows;
    for (int i = 0; list && i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        if (!item->isHidden())
            rows.append(item->flags().testFlag(Qt::ItemIsSelectable) ? item->text()
                                                                     : u'(' + item->text() + u')');
    }
    return rows;
}

} // namespace

class TestOpening final : public QObject {
    Q_OBJECT

public:
    explicit TestOpening(XdgSandbox& sandbox)
        : m_sandbox(sandbox)
        , m_bus(sandbox) {
        // CSV files: an application started over D-Bus that answers the launch late.
        m_bus.makeSessionBus();
        m_bus.addSlowApp(slowId, u"Slow"_s, {u"text/csv"_s}, 1500);
        // Markdown files: the viewer is the default (see init()), the editor also opens them;
        // one more application only the picker offers.
        m_sandbox.addApp(viewerId, u"Viewer"_s, {u"text/markdown"_s});
        m_sandbox.addApp(editorId, u"Editor"_s, {u"text/markdown"_s});
        m_sandbox.addApp(pickedId, u"Picked Editor"_s, {}, {u"Keywords=scribble;notes;"_s});
        // The chooser, under its own ID and under another: never offered by the picker.
        m_sandbox.addApp(AppRegistry::ownIdentifier(), u"Marvoline"_s);
        m_sandbox.addRawDesktopFile(u"chooser-copy.desktop"_s,
                                    "[Desktop Entry]\nType=Application\nName=Chooser Copy\nExec=" +
                                        QFile::encodeName(QCoreApplication::applicationFilePath()) +
                                        " %F\n");
        // An entry that disappears after the registry has read it.
        writeBrokenEntry();
        m_sandbox.writeMimeinfoCache({{u"text/markdown"_s, {viewerId, editorId}},
                                      {u"text/x-tex"_s, {u"org.example.Broken.desktop"_s}},
                                      {u"text/csv"_s, {slowId}}});
    }

private:
    XdgSandbox& m_sandbox;
    PrivateBus m_bus;
    RawFiles m_raw;
    QUrl m_broken;

    // Its name is markup, which the row and any message show as the text it is.
    void writeBrokenEntry() {
        m_broken = m_sandbox.addRawDesktopFile(
            u"org.example.Broken.desktop"_s,
            "[Desktop Entry]\nType=Application\nName=<h1>Broken</h1>\nMimeType=text/x-tex;\n"
            "Exec=" +
                QFile::encodeName(m_sandbox.recorderPath()) + " broken %F\n");
    }

private Q_SLOTS:
    void init() {
        m_sandbox.clearRecords();
        m_sandbox.writeDefaults({{u"text/markdown"_s, viewerId}}); // also undoes the chooser's
    }

    void everyWayOutOpensAllFilesAsSingleArguments_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("opener");
        QTest::newRow("click on another tile") << u"tile"_s << editorId;
        // A double click on the preview: tst_preview's doubleClickOpensWithDefault.
        QTest::newRow("countdown runs out") << u"countdown"_s << viewerId;
    }
    void everyWayOutOpensAllFilesAsSingleArguments() {
        QFETCH(QString, way);
        QFETCH(QString, opener);
        const QByteArray dir = QFile::encodeName(m_sandbox.root()) + "/files/";
        QList<QByteArray> paths;
        QList<QUrl> files;
        for (const QByteArray name : {"notes one.md", "it's \"quoted\".md", "$(touch pwned).md",
                                      "semi;colon & amp.md", "caf\xe9 latin1.md"}) {
            QVERIFY(m_raw.write(paths.emplace_back(dir + name), "# hi\n"));
            files.append(fileUrlFromPath(paths.last()));
        }
        const QUrl openerUrl = m_sandbox.appUrl(opener);
        const qint64 usesBefore = usesOf(openerUrl);
        const auto vc = showing(files);
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        if (way == u"tile") {
            QCOMPARE(tiles(*vc).at(1)->appURL->path(), openerUrl.path());
            QTest::mouseClick(tiles(*vc).at(1), Qt::LeftButton);
            QVERIFY(vc->isTimerPaused);
        } else {
            vc->timer->setInterval(3600 * 1000);
            for (int i = 0; i < 51; ++i)
                vc->tick();
        }
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(opener), QList<QList<QByteArray>>{paths});
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), 1);
        QVERIFY(!QFile::exists(m_sandbox.home() + u"/pwned"_s));
        QVERIFY(!QFile::exists(QDir::currentPath() + u"/pwned"_s));
        QCOMPARE(usesOf(openerUrl), usesBefore + 1);
    }

    // Every way out that opens the files switches the default, when the box is ticked; the
    // switch is made off the window's thread and the chooser ends only once it is in place.
    void setDefaultSwitchMadeBeforeLaunch_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("opener");
        QTest::newRow("click on another tile") << u"tile"_s << editorId;
        QTest::newRow("application picked from all") << u"picker"_s << pickedId;
    }
    void setDefaultSwitchMadeBeforeLaunch() {
        QFETCH(QString, way);
        QFETCH(QString, opener);
        const auto vc = showing({m_sandbox.writeFile(u"switch.md"_s, "x")});
        vc->setDefaultButton->setChecked(true);
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        if (way == u"tile") {
            QTest::mouseClick(tiles(*vc).at(1), Qt::LeftButton);
        } else {
            vc->onAddAppTapped();
            auto* picker = vc->findChild<ApplicationPickerDialog*>();
            QTRY_VERIFY(!picker->isLoading());
            auto* filter = picker->findChild<QLineEdit*>();
            QTest::keyClicks(filter, u"Scrib"_s);
            QTest::keyClick(filter, Qt::Key_Return);
        }
        QVERIFY(vc->isLaunchInFlight() || terminate.size() == 1);
        QTRY_COMPARE(terminate.size(), 1);
        // The default before is remembered, and GIO sees the chooser as the new one.
        QCOMPARE(PreferencesStore::standard()
                     .value(MainViewController::previousDefaultKeyPrefix + u"text/markdown"_s)
                     .toString(),
                 m_sandbox.appUrl(viewerId).path());
        QCOMPARE(m_sandbox.gioDefault(u"text/markdown"_s), AppRegistry::ownIdentifier());
        QTRY_COMPARE(m_sandbox.recordedLaunches(opener).size(), 1);
    }

    // Its entry gone since the row was made (how GIO fails each launch: tst_launch).
    void failedLaunchKeepsTheChooser() {
        writeBrokenEntry();
        const qint64 usesBefore = usesOf(m_broken);
        const auto vc = showing({m_sandbox.writeFile(u"paper.tex"_s, "\\documentclass{x}\n")});
        QCOMPARE(vc->allAppCandidates.size(), 1);
        QVERIFY(QFile::remove(m_broken.toLocalFile()));
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        QSignalSpy failed(vc.get(), &MainViewController::launchFailed);
        QTest::mouseClick(tiles(*vc).at(0), Qt::LeftButton);
        QTRY_COMPARE(failed.size(), 1);
        QVERIFY(!vc->isLaunchInFlight() && vc->isTimerPaused);
        QVERIFY(vc->messageLabel->isVisibleTo(vc.get()));
        // Named as its tile names it, even once the entry is gone, and shown as plain text.
        QCOMPARE(tiles(*vc).at(0)->title(), u"<h1>Broken</h1>"_s);
        QVERIFY2(vc->messageLabel->text().startsWith(u"<h1>Broken</h1> "_s),
                 qPrintable(vc->messageLabel->text()));
        QCOMPARE(vc->messageLabel->textFormat(), Qt::PlainText);
        QCOMPARE(usesOf(m_broken), usesBefore + 1); // counted before the launch
        // The countdown cannot take over afterwards.
        for (int i = 0; i < 60; ++i)
            vc->tick();
        QCOMPARE(terminate.size(), 0);
    }

    void windowCloseWaitsForTheLaunch() {
        // Closed from the title bar while the application is still starting: the program
        // ends only once the files are handed over.
        ChooserWindow chooser;
        chooser.vc->configure({m_sandbox.writeFile(u"table.csv"_s, "1,2\n")}, true, false);
        chooser.vc->showFiles();
        QSignalSpy terminate(chooser.vc, &MainViewController::terminateRequested);
        QTest::mouseClick(tiles(*chooser.vc).at(0), Qt::LeftButton);
        QVERIFY(chooser.vc->isLaunchInFlight());
        QVERIFY(!chooser.window.close() && chooser.window.isVisible() && terminate.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(terminate.size(), 1, 20000);
        QCOMPARE(m_sandbox.recordedLaunches(slowId).size(), 1);
        // Without a launch under way, the window closes at once.
        ChooserWindow idle;
        idle.vc->configure({m_sandbox.writeFile(u"idle.csv"_s, "1\n")}, true, false);
        idle.vc->showFiles();
        QVERIFY(idle.window.close());
    }

    // Once a launch is under way, other choices and the close button open nothing more. (Without
    // one, the close button, like Escape, opens nothing: tst_e2e_controls' "Escape" row.)
    void closeAndChoicesWhileLaunching() {
        const auto vc = showing({m_sandbox.writeFile(u"twice.md"_s, "x")});
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        QTest::mouseClick(tiles(*vc).at(1), Qt::LeftButton);
        QVERIFY(vc->isLaunchInFlight());
        QTest::mouseClick(tiles(*vc).at(0), Qt::LeftButton);
        vc->onPreviewDoubleClick();
        QTest::mouseClick(vc->closeButton, Qt::LeftButton);
        QTRY_COMPARE(terminate.size(), 1);
        QVERIFY(vc->isTimerPaused);
        QTest::qWait(300); // a launch would have been recorded by now
        QCOMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), 1);
        QCOMPARE(terminate.size(), 1);
    }

    void pickerOpensTheFilesWithThePickedApplication() {
        const QUrl a = m_sandbox.writeFile(u"pick/one.md"_s, "1");
        const QUrl b = m_sandbox.writeFile(u"pick/two words.md"_s, "2");
        const auto vc = showing({a, b});
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        // Cancelled with an application chosen, like the rule button, it leaves the chooser as it
        // is, paused.
        vc->onAddAppTapped();
        auto* picker = vc->findChild<ApplicationPickerDialog*>();
        QVERIFY(picker && picker->isVisible()); // without a nested event loop
        QTest::keyClicks(picker->findChild<QLineEdit*>(u"filter"_s), u"PICKED"_s);
        picker->reject();
        vc->ruleButton->click();
        QTRY_VERIFY(!vc->findChild<ApplicationPickerDialog*>());
        QVERIFY(vc->isTimerPaused && vc->timer && !vc->isLaunchInFlight() && terminate.isEmpty());

        // Found by a keyword typed while the list loads; the only one left, it is chosen with
        // Return.
        vc->onAddAppTapped();
        picker = vc->findChild<ApplicationPickerDialog*>();
        auto* filter = picker->findChild<QLineEdit*>();
        QTest::keyClicks(filter, u"Scrib"_s);
        QTRY_VERIFY(!picker->isLoading());
        QCOMPARE(shownRows(*picker), QStringList{u"Picked Editor"_s});
        // Its row holds its icon, whatever row the list measured its rows by.
        const auto* list = picker->findChild<QListWidget*>(u"applications"_s);
        const auto shown = list->findItems(u"Picked Editor"_s, Qt::MatchExactly);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(list->visualItemRect(shown.first()).height() >= list->iconSize().height(),
                 qPrintable(QString::number(list->visualItemRect(shown.first()).height())));
        QTest::keyClick(filter, Qt::Key_Return);
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(pickedId),
                     (QList<QList<QByteArray>>{{localPath(a), localPath(b)}}));
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), 1);
    }

    // The listing runs off the window's thread: a desktop entry that is a FIFO holds it until
    // something writes to it, while the chooser shows the picker at once and goes on.
    void pickerListsOffTheWindowThread() {
        const QByteArray fifo = QFile::encodeName(m_sandbox.applicationsDir()) + "/fifo.desktop";
        QVERIFY(::mkfifo(fifo.constData(), 0644) == 0);
        const auto removeFifo = qScopeGuard([&] { ::unlink(fifo.constData()); });
        const auto vc = showing({m_sandbox.writeFile(u"fifo.md"_s, "x")});
        // A writer that comes and goes ends a wait on the FIFO; GIO then skips the entry, which
        // is not a file.
        const auto writerCame = [&fifo] {
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            return fd >= 0;
        };
        // GIO learns of the new entry from a file monitor, in its own time, and a listing made
        // before does not wait on it: pickers are opened until one's listing was found waiting.
        ApplicationPickerDialog* picker = nullptr;
        bool waited = false;
        for (int attempt = 0; attempt < 10 && !waited; ++attempt) {
            if (picker) {
                picker->reject();
                QTRY_VERIFY(!vc->findChild<ApplicationPickerDialog*>()); // deleted
            }
            vc->onAddAppTapped();
            picker = vc->findChild<ApplicationPickerDialog*>();
            QVERIFY(picker && picker->isVisible());
            QCOMPARE(shownRows(*picker), QStringList{u"(Loading…)"_s});
            QTest::keyClicks(picker->findChild<QLineEdit*>(u"filter"_s), u"zzz"_s);
            QTimer later;
            later.start(200);
            QVERIFY(QSignalSpy(&later, &QTimer::timeout).wait(2000)); // the event loop runs
            const bool loading = picker->isLoading();
            waited = writerCame() && loading;
            QTRY_VERIFY(!picker->isLoading() || (writerCame() && false));
        }
        QVERIFY(waited);
        // What was typed meanwhile filters the list: nothing matches, and the list says so.
        QCOMPARE(shownRows(*picker), QStringList{u"(No application matches “zzz”)"_s});
        QVERIFY(!picker->selectedApplication());
        picker->findChild<QLineEdit*>(u"filter"_s)->clear();
        const QStringList all = shownRows(*picker);
        // Neither the chooser's own entry nor another that runs this program is offered.
        for (const QString& name : {u"Picked Editor"_s, u"Viewer"_s})
            QVERIFY2(all.contains(name), qPrintable(all.join(u'|')));
        for (const QString& name : {u"Marvoline"_s, u"Chooser Copy"_s})
            QVERIFY2(!all.contains(name), qPrintable(all.join(u'|')));
        QVERIFY(all.filter(u"("_s).isEmpty());
        picker->reject();
    }

    // Files that arrive while a dialog or menu of the chooser is open close it as cancelled and
    // are shown; nothing chosen for the files before opens anything. The countdown then opens the
    // new files alone.
    void newFilesCancelOpenDialogs_data() {
        QTest::addColumn<QString>("opened");
        QTest::newRow("application picker") << u"picker"_s;
        // A dialog of the chooser window's own, as the custom delay of Later is.
        QTest::newRow("dialog of the window") << u"dialog"_s;
        QTest::newRow("overflow menu") << u"overflow"_s;
        QTest::newRow("Later menu") << u"later"_s;
    }
    void newFilesCancelOpenDialogs() {
        QFETCH(QString, opened);
        const QUrl a = m_sandbox.writeFile(u"arrive/a.md"_s, "a");
        const QUrl b = m_sandbox.writeFile(u"arrive/b.md"_s, "b");
        AppDelegate delegate;
        delegate.openUrls({a});
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(vc && QTest::qWaitForWindowExposed(delegate.window));
        QSignalSpy terminate(vc, &MainViewController::terminateRequested);

        // Answered, the dialog would open a.md with another application.
        QPointer<QWidget> popUp;
        int result = -1;
        if (opened == u"picker") {
            vc->onAddAppTapped();
            auto* picker = delegate.window->findChild<ApplicationPickerDialog*>();
            QVERIFY(picker);
            QTest::keyClicks(picker->findChild<QLineEdit*>(), u"Scrib"_s);
            connect(picker, &QDialog::finished, this, [&result](int r) { result = r; });
            popUp = picker;
        } else if (opened == u"dialog") {
            auto* dialog = new QDialog(delegate.window);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            connect(dialog, &QDialog::accepted, vc,
                    [vc, editor = m_sandbox.appUrl(editorId)] { vc->openFilesAndQuit(editor); });
            connect(dialog, &QDialog::finished, this, [&result](int r) { result = r; });
            dialog->open();
            popUp = dialog;
        } else {
            QMenu* menu = opened == u"later" ? vc->laterPopUp->popUpMenu()
                                             : vc->onOverflowTapped(vc->trailingButton, false);
            menu->popup(vc->mapToGlobal(QPoint()));
            popUp = menu;
        }
        QVERIFY(popUp && popUp->isVisible());

        delegate.openUrls({b});
        QVERIFY(!popUp || !popUp->isVisible());
        if (opened == u"picker" || opened == u"dialog")
            QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(vc->fileURLs, QList<QUrl>{b});
        QCOMPARE(delegate.window->windowTitle(), u"b.md"_s);
        QVERIFY(vc->timer && vc->timer->isActive() && !vc->isTimerPaused);

        vc->timer->setInterval(3600 * 1000);
        for (int i = 0; i < 51; ++i)
            vc->tick();
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId),
                     (QList<QList<QByteArray>>{{localPath(b)}}));
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), 1);
    }
};

MARVOLINE_TEST_MAIN(TestOpening)
#include "tst_chooser_opening.moc"
