// The chooser from the keyboard and to assistive technologies, in process: the
// tab order, moving among the tiles, pressing them, Escape, keeping the focus
// when the row is rebuilt, and the accessible names, roles and descriptions.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "views/AppIconButton.h"
#include "views/StopTimerButton.h"
#include "views/WindowDragHandleView.h"

#include <QAccessible>
#include <QCheckBox>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace marvoline;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QString editorId = QStringLiteral("org.example.Editor.desktop");
const QString readerId = QStringLiteral("org.example.Reader.desktop");

// The chooser in a window of its own, as the shell shows it, active.
struct Chooser {
    QWidget window;
    MainViewController* vc = new MainViewController;

    explicit Chooser(const QList<QUrl>& files) {
        window.resize(560, 420);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(vc);
        window.show();
        vc->configure(files, true, false);
        vc->showFiles();
        QApplication::setActiveWindow(&window);
    }
    QList<AppIconButton*> tiles() const {
        return vc->appStackView->findChildren<AppIconButton*>(QString(),
                                                              Qt::FindDirectChildrenOnly);
    }
    QWidget* focus() const { return QApplication::focusWidget(); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        QTest::keyClick(focus(), key, modifiers);
    }
};

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

} // namespace

class TestChooserAccess final : public QObject {
    Q_OBJECT

public:
    explicit TestChooserAccess(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        const QStringList text{QStringLiteral("text/plain")};
        m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), text);
        m_sandbox.addApp(editorId, QStringLiteral("Editor"), text);
        m_sandbox.addApp(readerId, QStringLiteral("Reader"), text);
        m_sandbox.writeMimeinfoCache(
            {{QStringLiteral("text/plain"), {viewerId, editorId, readerId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private Q_SLOTS:
    void initTestCase() {
        m_files = {m_sandbox.writeFile(QStringLiteral("access/one.txt"), "1\n"),
                   m_sandbox.writeFile(QStringLiteral("access/two.txt"), "2\n")};
    }
    void init() { m_sandbox.clearRecords(); }

    void tabVisitsTilesThenTheRowThenTheOptions() {
        Chooser c(m_files);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        const QList<AppIconButton*> tiles = c.tiles();
        QCOMPARE(tiles.size(), 3);
        // The default application's tile has the focus when the files are shown.
        QCOMPARE(c.focus(), tiles.at(0));

        MainViewController& vc = *c.vc;
        // The first key pauses the countdown, which hides the stop button.
        const QList<QWidget*> expected{
            tiles.at(0),   tiles.at(1),  tiles.at(2),    vc.trailingButton, vc.ruleButton,
            vc.laterPopUp, vc.copyPopUp, vc.shareButton, vc.closeButton,    vc.setDefaultButton};
        // Controls added to the window later may come in between; these keep their order.
        QList<QWidget*> visited{c.focus()};
        for (int i = 0; i < 20 && visited.size() < expected.size(); ++i) {
            c.press(Qt::Key_Tab);
            if (expected.contains(c.focus()) && !visited.contains(c.focus()))
                visited.append(c.focus());
        }
        QCOMPARE(visited, expected);
        QVERIFY(vc.isTimerPaused && vc.stopTimerButton->isHidden());
        // Shift+Tab walks back.
        c.press(Qt::Key_Backtab);
        QCOMPARE(c.focus(), vc.closeButton);
    }

    void arrowKeysMoveAmongTheTiles_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("expected");
        QTest::newRow("Right") << QList<int>{Qt::Key_Right} << 1;
        QTest::newRow("Right twice") << QList<int>{Qt::Key_Right, Qt::Key_Right} << 2;
        QTest::newRow("Right stops at the last tile")
            << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right} << 2;
        QTest::newRow("Left stops at the first tile") << QList<int>{Qt::Key_Left} << 0;
        QTest::newRow("Right, Left") << QList<int>{Qt::Key_Right, Qt::Key_Left} << 0;
        QTest::newRow("End") << QList<int>{Qt::Key_End} << 2;
        QTest::newRow("End, Home") << QList<int>{Qt::Key_End, Qt::Key_Home} << 0;
        QTest::newRow("End, Left") << QList<int>{Qt::Key_End, Qt::Key_Left} << 1;
    }
    void arrowKeysMoveAmongTheTiles() {
        QFETCH(QList<int>, keys);
        QFETCH(int, expected);
        Chooser c(m_files);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        for (const int key : keys)
            c.press(Qt::Key(key));
        QCOMPARE(c.focus(), c.tiles().at(expected));
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
    }

    // Every way of pressing the focused second tile opens all files with it.
    void pressingTheFocusedTileOpensTheFiles_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Enter") << QStringLiteral("Enter");
        QTest::newRow("keypad Enter") << QStringLiteral("keypad Enter");
        QTest::newRow("Space") << QStringLiteral("Space");
        QTest::newRow("accessibility press action") << QStringLiteral("press action");
    }
    void pressingTheFocusedTileOpensTheFiles() {
        QFETCH(QString, how);
        Chooser c(m_files);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        QSignalSpy terminate(c.vc, &MainViewController::terminateRequested);
        AppIconButton* editor = c.tiles().at(1);
        QCOMPARE(editor->appURL->path(), m_sandbox.appUrl(editorId).path());
        c.press(Qt::Key_Right);
        QCOMPARE(c.focus(), editor);

        if (how == QLatin1String("Enter")) {
            c.press(Qt::Key_Return);
        } else if (how == QLatin1String("keypad Enter")) {
            c.press(Qt::Key_Enter, Qt::KeypadModifier);
        } else if (how == QLatin1String("Space")) {
            c.press(Qt::Key_Space);
        } else {
            QAccessibleActionInterface* actions = accessible(editor)->actionInterface();
            QVERIFY(actions);
            QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
            actions->doAction(QAccessibleActionInterface::pressAction());
        }
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(editorId).first(),
                 (QList<QByteArray>{localPath(m_files.at(0)), localPath(m_files.at(1))}));
        QTRY_COMPARE(terminate.size(), 1);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
    }

    void escapeClosesWithoutOpening_data() {
        QTest::addColumn<int>("tabs");
        QTest::newRow("focus on the default tile") << 0;
        QTest::newRow("focus on an option") << 6;
    }
    void escapeClosesWithoutOpening() {
        QFETCH(int, tabs);
        Chooser c(m_files);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        QSignalSpy terminate(c.vc, &MainViewController::terminateRequested);
        for (int i = 0; i < tabs; ++i)
            c.press(Qt::Key_Tab);
        c.press(Qt::Key_Escape);
        QCOMPARE(terminate.size(), 1);
        QVERIFY(c.vc->isTimerPaused);
        QTest::qWait(200);
        for (const QString& id : {viewerId, editorId, readerId})
            QVERIFY(m_sandbox.recordedLaunches(id).isEmpty());
    }

    void stopButtonFromTheKeyboard() {
        Chooser c(m_files);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        QPointer<StopTimerButton> stop = c.vc->stopTimerButton;
        QVERIFY(stop && !stop->isStopped());
        stop->setFocus(Qt::TabFocusReason);
        c.press(Qt::Key_Space);
        QVERIFY(c.vc->isTimerPaused);
        QVERIFY(stop->isHidden());
        // The hidden button hands the focus back to the tile it stopped.
        QCOMPARE(c.focus(), c.tiles().at(0));
    }

    void focusSurvivesRebuildingTheRow() {
        Chooser c(m_files);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        MainViewController& vc = *c.vc;
        c.press(Qt::Key_Right);
        const QUrl editor = *c.tiles().at(1)->appURL;

        vc.populateAppButtons(vc.allAppCandidates, m_files.first());
        QCOMPARE(c.focus(), c.tiles().at(1));
        QCOMPARE(*c.tiles().at(1)->appURL, editor);

        // The editor's tile moves into the overflow menu: "⋯" opens it.
        QList<AppCandidate> many;
        for (int i = 0; i < 8; ++i)
            many.append({QUrl::fromLocalFile(QStringLiteral("/apps/app%1.desktop").arg(i)),
                         QStringLiteral("App %1").arg(i), std::nullopt, std::nullopt, i == 0});
        many.append(vc.allAppCandidates.at(1));
        vc.populateAppButtons(many, m_files.first());
        QVERIFY(!vc.overflowApps.isEmpty());
        QCOMPARE(c.focus(), vc.trailingButton);
        QCOMPARE(vc.trailingButton->text(), QStringLiteral("⋯"));
        QCOMPARE(accessible(vc.trailingButton)->text(QAccessible::Name),
                 QStringLiteral("More applications"));
    }

    void namesRolesAndDescriptions() {
        Chooser c(m_files);
        MainViewController& vc = *c.vc;
        // A version is shown (when two applications share a name): the
        // rebuilt row keeps the running countdown's description as well.
        QList<AppCandidate> candidates = vc.allAppCandidates;
        candidates[0].version = QStringLiteral("2.0");
        vc.populateAppButtons(candidates, m_files.first());
        const QList<AppIconButton*> tiles = c.tiles();
        QAccessibleInterface* viewer = accessible(tiles.at(0));
        QAccessibleInterface* editor = accessible(tiles.at(1));
        QCOMPARE(viewer->role(), QAccessible::Button);
        QCOMPARE(viewer->text(QAccessible::Name), QStringLiteral("Open with Viewer"));
        QCOMPARE(editor->text(QAccessible::Name), QStringLiteral("Open with Editor"));
        QVERIFY(viewer->state().focusable && viewer->state().focused);
        // Version when there is one; the default is named while the countdown runs.
        const QString countdown =
            QStringLiteral("Default application: opens when the countdown ends.");
        QCOMPARE(viewer->text(QAccessible::Description),
                 QStringLiteral("Version 2.0. ") + countdown);
        QVERIFY(!editor->text(QAccessible::Description).contains(countdown));
        vc.pauseTimer();
        QCOMPARE(viewer->text(QAccessible::Description), QStringLiteral("Version 2.0."));

        QAccessibleInterface* stop = accessible(vc.stopTimerButton);
        QCOMPARE(stop->role(), QAccessible::Button);
        QCOMPARE(stop->text(QAccessible::Name), QStringLiteral("Stop automatic opening"));
        QCOMPARE(vc.stopTimerButton->toolTip(),
                 QStringLiteral("Stop opening with Viewer automatically"));
        QVERIFY(stop->actionInterface());

        QCOMPARE(accessible(vc.dragHandle)->text(QAccessible::Name),
                 QStringLiteral("Drag the files to another application"));
        for (QToolButton* option : {vc.ruleButton, vc.laterPopUp, vc.copyPopUp, vc.shareButton,
                                    vc.closeButton, vc.trailingButton}) {
            QVERIFY(!option->text().isEmpty());
            QCOMPARE(accessible(option)->text(QAccessible::Name), option->text());
        }
        QCOMPARE(accessible(vc.setDefaultButton)->role(), QAccessible::CheckBox);
        QCOMPARE(accessible(vc.setDefaultButton)->text(QAccessible::Name),
                 vc.setDefaultButton->text());
    }

private:
    test::XdgSandbox& m_sandbox;
    QList<QUrl> m_files;
};

MARVOLINE_TEST_MAIN(TestChooserAccess)
#include "tst_chooser_access.moc"
