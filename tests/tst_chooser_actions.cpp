// Signs of the user's attention stop the countdown: key presses anywhere
// (which still reach their widget), left clicks and wheel turns over the
// preview pane only, the rule button; and the application picker.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"
#include "views/ApplicationPickerDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <memory>

using namespace marvoline;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QString pickedId = QStringLiteral("org.example.Picked.desktop");

// A chooser in its own shown window, with a running countdown and a preview
// that scrolls.
struct ShownChooser {
    QWidget window;
    MainViewController* vc = new MainViewController;
    QPlainTextEdit* preview = new QPlainTextEdit;

    ShownChooser() {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(vc);
        auto* previewLayout = new QVBoxLayout(vc->previewContainer);
        previewLayout->setContentsMargins(0, 0, 0, 0);
        previewLayout->addWidget(preview);
        QStringList lines;
        for (int i = 0; i < 300; ++i)
            lines.append(QString::number(i));
        preview->setPlainText(lines.join(QLatin1Char('\n')));
        window.resize(520, 420);
        window.show();
    }
    bool ready() {
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        vc->startTimer({}, std::nullopt);
        return !vc->isTimerPaused;
    }
    // A point of the preview pane, in the window's coordinates.
    QPoint inWindow(QPointF inPane) const {
        return vc->previewContainer->mapTo(&window, inPane.toPoint());
    }
};

} // namespace

class TestChooserActions final : public QObject {
    Q_OBJECT

public:
    explicit TestChooserActions(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), {QStringLiteral("text/plain")});
        m_sandbox.addApp(pickedId, QStringLiteral("Picked Editor"), {},
                         {QStringLiteral("Keywords=scribble;notes;")});
        m_sandbox.addApp(QStringLiteral("org.example.Other.desktop"), QStringLiteral("Other"));
        m_sandbox.writeMimeinfoCache({{QStringLiteral("text/plain"), {viewerId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private Q_SLOTS:
    void init() { m_sandbox.clearRecords(); }

    void keyPressPausesAndReachesTheField_data() {
        QTest::addColumn<bool>("throughWindow");
        QTest::newRow("through its window") << true;
        QTest::newRow("to the widget") << false;
    }
    void keyPressPausesAndReachesTheField() {
        QFETCH(bool, throughWindow);
        ShownChooser chooser;
        QVERIFY(chooser.ready());
        // A field in another window of the program, like a dialog's.
        QWidget dialog;
        auto* field = new QLineEdit(&dialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QApplication::setActiveWindow(&dialog);
        field->setFocus();
        if (throughWindow) {
            QTest::keyClick(dialog.windowHandle(), Qt::Key_1, {}, '1');
            QTest::keyClick(dialog.windowHandle(), Qt::Key_5, {}, '5');
        } else
            QTest::keyClicks(field, QStringLiteral("15"));
        QVERIFY(chooser.vc->isTimerPaused);
        QCOMPARE(field->text(), QStringLiteral("15"));
    }

    // Edges: the pane owns its left and bottom edge lines, not its top and
    // right ones.
    void leftClicks_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("pauses");
        QTest::newRow("centre") << "centre" << true;
        QTest::newRow("left edge") << "left" << true;
        QTest::newRow("bottom edge") << "bottom" << true;
        QTest::newRow("top edge") << "top" << false;
        QTest::newRow("right edge") << "right" << false;
        QTest::newRow("app row") << "row" << false;
    }
    void leftClicks() {
        QFETCH(QString, where);
        QFETCH(bool, pauses);
        ShownChooser chooser;
        QVERIFY(chooser.ready());
        const QSize pane = chooser.vc->previewContainer->size();
        const QHash<QString, QPoint> points = {
            {QStringLiteral("centre"),
             chooser.inWindow(QPoint(pane.width() / 2, pane.height() / 2))},
            {QStringLiteral("left"), chooser.inWindow(QPoint(0, pane.height() / 2))},
            {QStringLiteral("bottom"), chooser.inWindow(QPoint(pane.width() / 2, pane.height()))},
            {QStringLiteral("top"), chooser.inWindow(QPoint(pane.width() / 2, 0))},
            {QStringLiteral("right"), chooser.inWindow(QPoint(pane.width(), pane.height() / 2))},
            {QStringLiteral("row"),
             chooser.vc->appContainer->mapTo(&chooser.window, QPoint(5, 5))}};
        const QPoint target = points.value(where);
        QTest::mouseClick(chooser.window.windowHandle(), Qt::LeftButton, {}, target);
        QCOMPARE(chooser.vc->isTimerPaused, pauses);
    }

    void clickReachesThePreview() {
        ShownChooser chooser;
        QVERIFY(chooser.ready());
        chooser.preview->setFocusPolicy(Qt::ClickFocus);
        QVERIFY(!chooser.preview->hasFocus());
        QTest::mouseClick(chooser.preview->viewport(), Qt::LeftButton);
        QVERIFY(chooser.vc->isTimerPaused);
        QTRY_VERIFY(chooser.preview->hasFocus());
    }

    void otherButtonsAndWindowsDoNotPause() {
        ShownChooser chooser;
        QVERIFY(chooser.ready());
        const QPoint centre = chooser.inWindow(chooser.vc->previewContainer->rect().center());
        QTest::mouseClick(chooser.window.windowHandle(), Qt::RightButton, {}, centre);
        QVERIFY(!chooser.vc->isTimerPaused);

        // Another window of the program lying over the preview.
        QWidget other;
        other.setGeometry(
            QRect(chooser.window.mapToGlobal(centre) - QPoint(20, 20), QSize(40, 40)));
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        // Showing a window is a window change of its own: start afresh.
        chooser.vc->startTimer({}, std::nullopt);
        QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(&other, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!chooser.vc->isTimerPaused);
    }

    void wheelOverThePreviewPausesAndScrolls() {
        ShownChooser chooser;
        QVERIFY(chooser.ready());
        auto turn = [](QWidget* target) {
            const QPointF local(10, 10);
            QWheelEvent wheel(local, target->mapToGlobal(local), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &wheel);
        };
        turn(chooser.vc->appContainer);
        QVERIFY(!chooser.vc->isTimerPaused);

        QScrollBar* bar = chooser.preview->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        turn(chooser.preview->viewport());
        QVERIFY(chooser.vc->isTimerPaused);
        QVERIFY(bar->value() > 0);
    }

    void ruleButtonOnlyPauses() {
        ShownChooser chooser;
        QVERIFY(chooser.ready());
        QSignalSpy terminate(chooser.vc, &MainViewController::terminateRequested);
        chooser.vc->ruleButton->click();
        QVERIFY(chooser.vc->isTimerPaused);
        chooser.vc->ruleButton->click();
        QVERIFY(chooser.vc->isTimerPaused);
        QCOMPARE(terminate.size(), 0);
        QVERIFY(chooser.vc->timer);
    }

    void pickerFilters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("nothing typed")
            << QString() << QStringList{"Other", "Picked Editor", "Viewer"};
        QTest::newRow("name, any case") << "EDIT" << QStringList{"Picked Editor"};
        QTest::newRow("desktop ID") << "example.other" << QStringList{"Other"};
        QTest::newRow("keyword") << "Scrib" << QStringList{"Picked Editor"};
        QTest::newRow("no match") << "zzz" << QStringList{};
    }
    void pickerFilters() {
        QFETCH(QString, text);
        QFETCH(QStringList, shown);
        std::unique_ptr<ApplicationPickerDialog> picker = openPicker();
        auto* filter = picker->findChild<QLineEdit*>(QStringLiteral("filter"));
        auto* list = picker->findChild<QListWidget*>(QStringLiteral("applications"));
        QTest::keyClicks(filter, text);
        QStringList visible;
        for (int row = 0; row < list->count(); ++row) {
            if (!list->item(row)->isHidden() && sandboxApp(list->item(row)->text()))
                visible.append(list->item(row)->text());
        }
        QCOMPARE(visible, shown);
        // Typed text selects the first match, so Enter opens it.
        QCOMPARE(picker->selectedApplication().has_value(), !text.isEmpty() && !shown.isEmpty());
        QPushButton* open = picker->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QCOMPARE(open->isEnabled(), picker->selectedApplication().has_value());
    }

    void pickerCancelLeavesTheChooserPaused() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("pick/cancel.txt"), "x");
        MainViewController vc;
        vc.configure({file}, true, false);
        vc.showFiles();
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        vc.onAddAppTapped();
        QVERIFY(vc.isTimerPaused);
        auto* picker = vc.window()->findChild<ApplicationPickerDialog*>();
        QVERIFY(picker);
        QVERIFY(picker->isVisible()); // shown without a nested event loop
        picker->reject();
        QCoreApplication::processEvents();
        QVERIFY(vc.isTimerPaused);
        QCOMPARE(terminate.size(), 0);
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
        QVERIFY(m_sandbox.recordedLaunches(pickedId).isEmpty());
    }

    void pickerOpensTheFilesWithThePickedApplication() {
        const QUrl a = m_sandbox.writeFile(QStringLiteral("pick/one.txt"), "1");
        const QUrl b = m_sandbox.writeFile(QStringLiteral("pick/two words.txt"), "2");
        MainViewController vc;
        vc.configure({a, b}, true, false);
        vc.showFiles();
        vc.setDefaultButton->setChecked(true);
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        vc.onAddAppTapped();
        auto* picker = vc.window()->findChild<ApplicationPickerDialog*>();
        QVERIFY(picker);
        QTest::keyClicks(picker->findChild<QLineEdit*>(QStringLiteral("filter")),
                         QStringLiteral("picked"));
        QTest::keyClick(picker->findChild<QLineEdit*>(QStringLiteral("filter")), Qt::Key_Return);
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(pickedId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(pickedId).first(),
                 (QList<QByteArray>{localPath(a), localPath(b)}));
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
        // The ticked option made the chooser the default for the file's type,
        // remembering the previous one.
        QCOMPARE(
            PreferencesStore::standard()
                .value(MainViewController::previousDefaultKeyPrefix + QStringLiteral("text/plain"))
                .toString(),
            m_sandbox.appUrl(viewerId).path());
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private:
    std::unique_ptr<ApplicationPickerDialog> openPicker() {
        return std::make_unique<ApplicationPickerDialog>(platform::registry().allApplications());
    }
    bool sandboxApp(const QString& name) const {
        return name == QStringLiteral("Other") || name == QStringLiteral("Picked Editor") ||
               name == QStringLiteral("Viewer");
    }

    test::XdgSandbox& m_sandbox;
};

MARVOLINE_TEST_MAIN(TestChooserActions)
#include "tst_chooser_actions.moc"
