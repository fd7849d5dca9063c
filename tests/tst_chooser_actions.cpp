// Signs of the user's attention stop the countdown: a key press anywhere (which still reaches its
// widget), a left click or a wheel turn over the preview pane only. The application picker and
// the rule button; the window's width: the zoom frame and room for the options row.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"
#include "views/ApplicationPickerDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>
#include <QWheelEvent>

using namespace marvoline;
using namespace marvoline::test;
using namespace Qt::StringLiterals;

namespace {

const QString viewerId = u"org.example.Viewer.desktop"_s;
const QString pickedId = u"org.example.Picked.desktop"_s;

// A chooser in a shown window with a running countdown, its preview a text that scrolls.
struct PreviewChooser : ChooserWindow {
    PreviewChooser() {
        (new QVBoxLayout(vc->previewContainer))->addWidget(preview);
        preview->setFocusPolicy(Qt::ClickFocus);
        if (QTest::qWaitForWindowExposed(&window))
            vc->startTimer({}, std::nullopt);
    }
    bool ready() const { return vc->timer && !vc->isTimerPaused; }
    // A point of the preview pane given as fractions of its size, in the window.
    QPoint onPane(QPointF at) const {
        const QSize pane = vc->previewContainer->size();
        return vc->previewContainer->mapTo(
            &window, QPoint(qRound(at.x() * pane.width()), qRound(at.y() * pane.height())));
    }
    QPlainTextEdit* preview = new QPlainTextEdit(u"line\n"_s.repeated(300));
};

} // namespace

class TestChooserActions final : public QObject {
    Q_OBJECT

public:
    explicit TestChooserActions(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(viewerId, u"Viewer"_s, {u"text/plain"_s});
        m_sandbox.addApp(pickedId, u"Picked Editor"_s, {}, {u"Keywords=scribble;notes;"_s});
        m_sandbox.addApp(u"org.example.Other.desktop"_s, u"Other"_s);
        m_sandbox.writeMimeinfoCache({{u"text/plain"_s, {viewerId}}});
        m_sandbox.writeDefaults({{u"text/plain"_s, viewerId}});
    }

private:
    XdgSandbox& m_sandbox;

private Q_SLOTS:
    // Left clicks and wheel turns (no button) over the preview pane pause; the pane owns its left
    // and bottom edge lines, not its top and right ones.
    void clicksAndWheelTurns_data() {
        QTest::addColumn<QPointF>("at"); // fractions of the pane; negative: on the app row
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("pauses");
        QTest::newRow("centre") << QPointF(0.5, 0.5) << Qt::LeftButton << true;
        QTest::newRow("left edge") << QPointF(0, 0.5) << Qt::LeftButton << true;
        QTest::newRow("bottom edge") << QPointF(0.5, 1) << Qt::LeftButton << true;
        QTest::newRow("top edge") << QPointF(0.5, 0) << Qt::LeftButton << false;
        QTest::newRow("right edge") << QPointF(1, 0.5) << Qt::LeftButton << false;
        QTest::newRow("right button") << QPointF(0.5, 0.5) << Qt::RightButton << false;
        QTest::newRow("app row") << QPointF(-1, -1) << Qt::LeftButton << false;
        QTest::newRow("wheel") << QPointF(0.5, 0.5) << Qt::NoButton << true;
        QTest::newRow("wheel over the app row") << QPointF(-1, -1) << Qt::NoButton << false;
    }
    void clicksAndWheelTurns() {
        QFETCH(QPointF, at);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, pauses);
        PreviewChooser c;
        QVERIFY(c.ready());
        const QPoint onRow = c.vc->appContainer->mapTo(&c.window, QPoint(5, 5));
        const QPoint point = at.x() < 0 ? onRow : c.onPane(at);
        if (button != Qt::NoButton) {
            QTest::mouseClick(c.window.windowHandle(), button, {}, point);
        } else {
            // The same turn over the app row first, which must not hide the second.
            for (const QPoint p : {onRow, point}) {
                QWidget* target = c.window.childAt(p);
                QWheelEvent wheel(target->mapFrom(&c.window, QPointF(p)),
                                  c.window.mapToGlobal(QPointF(p)), {}, {0, -120}, Qt::NoButton, {},
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(target, &wheel);
            }
            QCOMPARE(c.preview->verticalScrollBar()->value() > 0, pauses); // it still scrolls
        }
        QCOMPARE(c.vc->isTimerPaused, pauses);
        if (button == Qt::LeftButton && at == QPointF(0.5, 0.5))
            QTRY_VERIFY(c.preview->hasFocus()); // the click goes on to the preview
    }

    // Another window of the program over the preview, like a dialog: a click there does not
    // pause, nor does one where the pane would be while it is hidden; a key press there does.
    void anotherWindowAndAHiddenPane() {
        PreviewChooser c;
        QVERIFY(c.ready());
        const QPoint centre = c.onPane({0.5, 0.5});
        QLineEdit field;
        field.setGeometry(QRect(c.window.mapToGlobal(centre) - QPoint(20, 10), QSize(40, 20)));
        field.show();
        field.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&field));
        c.vc->startTimer({}, std::nullopt); // showing it was a window change of its own
        QTest::mouseClick(field.windowHandle(), Qt::LeftButton, {}, QPoint(20, 10));
        c.vc->previewContainer->hide();
        QTest::mouseClick(c.window.windowHandle(), Qt::LeftButton, {}, centre);
        QVERIFY(!c.vc->isTimerPaused);
        QTest::keyClick(field.windowHandle(), '1');
        QVERIFY(c.vc->isTimerPaused);
        QCOMPARE(field.text(), u"1"_s); // the key goes on to the field
    }

    void pickerFilters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("nothing typed")
            << QString() << QStringList{"Other", "Picked Editor", "Viewer"};
        QTest::newRow("name, any case") << u"EDIT"_s << QStringList{"Picked Editor"};
        QTest::newRow("desktop ID") << u"example.other"_s << QStringList{"Other"};
        QTest::newRow("keyword") << u"Scrib"_s << QStringList{"Picked Editor"};
        QTest::newRow("no match") << u"zzz"_s << QStringList{};
    }
    void pickerFilters() {
        QFETCH(QString, text);
        QFETCH(QStringList, shown);
        ApplicationPickerDialog picker(platform::registry().allApplications());
        QTest::keyClicks(picker.findChild<QLineEdit*>(u"filter"_s), text);
        auto* list = picker.findChild<QListWidget*>(u"applications"_s);
        QStringList visible;
        for (int row = 0; row < list->count(); ++row) {
            if (!list->item(row)->isHidden())
                visible.append(list->item(row)->text());
        }
        QCOMPARE(visible, shown);
    }

    void pickerOpensTheFilesWithThePickedApplication() {
        const QUrl a = m_sandbox.writeFile(u"pick/one.txt"_s, "1");
        const QUrl b = m_sandbox.writeFile(u"pick/two words.txt"_s, "2");
        const auto vc = showing({a, b});
        vc->setDefaultButton->setChecked(true);
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        // Cancelled with an application chosen, like the rule button, it leaves the chooser as it
        // is, paused.
        vc->onAddAppTapped();
        auto* picker = vc->findChild<ApplicationPickerDialog*>();
        QVERIFY(picker && picker->isVisible()); // without a nested event loop
        QTest::keyClicks(picker->findChild<QLineEdit*>(), u"picked"_s);
        picker->reject();
        vc->ruleButton->click();
        QTRY_VERIFY(!vc->findChild<ApplicationPickerDialog*>());
        QVERIFY(vc->isTimerPaused && vc->timer && !vc->isLaunchInFlight() && terminate.isEmpty());

        vc->onAddAppTapped();
        auto* filter = vc->findChild<ApplicationPickerDialog*>()->findChild<QLineEdit*>();
        QTest::keyClicks(filter, u"picked"_s);
        QTest::keyClick(filter, Qt::Key_Return);
        QTRY_COMPARE(terminate.size(), 1);
        QTRY_COMPARE(m_sandbox.recordedLaunches(pickedId),
                     (QList<QList<QByteArray>>{{localPath(a), localPath(b)}}));
        QVERIFY(m_sandbox.recordedLaunches(viewerId).isEmpty());
        // The ticked rule made the chooser the default, remembering the one before.
        QCOMPARE(PreferencesStore::standard()
                     .value(MainViewController::previousDefaultKeyPrefix + u"text/plain"_s)
                     .toString(),
                 m_sandbox.appUrl(viewerId).path());
    }

    // A tile is 96 wide and overlaps the next by 8; the add button and margins take 112.
    void zoomFrame_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QRect>("current");
        QTest::addColumn<QRect>("screen"); // the default frame and the visible area
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 25, 1440, 850), window(100, 200, 480, 300);
        QTest::newRow("3: never narrower") << 3 << window << screen << window;
        QTest::newRow("6: wider") << 6 << window << screen << QRect(100, 200, 640, 300);
        QTest::newRow("30: the screen's width")
            << 30 << window << screen << QRect(0, 200, 1440, 300);
        QTest::newRow("near the right edge of a second screen")
            << 6 << QRect(3300, 10, 500, 400) << QRect(1920, 0, 1920, 1080)
            << QRect(3200, 10, 640, 400);
        QTest::newRow("no candidates: the default frame") << 0 << window << screen << screen;
    }
    void zoomFrame() {
        QFETCH(int, count);
        QFETCH(QRect, current);
        QFETCH(QRect, screen);
        QFETCH(QRect, expected);
        QCOMPARE(MainViewController::zoomFrame(count, current, screen, screen), expected);
    }

    void minimumWidthGrowsForTheCheckBoxAndNeverShrinks() {
        ChooserWindow c({150, 400});
        c.window.setMinimumWidth(100);
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        const QUrl file = m_sandbox.writeFile(u"width.unknownext"_s, "x");
        auto show = [&](bool checkBox) {
            c.vc->configure({file}, checkBox, false);
            c.vc->showFiles();
            (void)QTest::qWaitFor([&] { return c.vc->setDefaultButton->isVisible() == checkBox; });
            return c.vc->optionsStack->sizeHint().width() + 24;
        };
        const int without = show(false);
        QTRY_COMPARE(c.window.minimumWidth(), without);
        const int with = show(true);
        QVERIFY(with > without);
        QTRY_COMPARE(c.window.minimumWidth(), with);
        QTRY_COMPARE(c.window.width(), with);
        QCOMPARE(show(false), without);
        QCoreApplication::processEvents();
        QCOMPARE(c.window.minimumWidth(), with);
        QCOMPARE(c.window.width(), with);
    }
};

MARVOLINE_TEST_MAIN(TestChooserActions)
#include "tst_chooser_actions.moc"
