// The app row and its countdown: how many tiles fit, the overflow menu, the default tile and its
// stop button, names and tab order, the zoomed window's width; the countdown's ticks, pausing for
// good, the display flow's flags, and the signs of the user's attention that stop it; texts and
// symbols that read in a light and a dark palette and grow with the font.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "views/ApplicationPickerDialog.h"
#include "views/GeneralPreviewView.h"
#include "views/MenuButton.h"
#include "views/StopTimerButton.h"
#include "views/WindowDragHandleView.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

const QUrl someFile = QUrl::fromLocalFile(u"/tmp/x.txt"_s);

// A chooser with no files on show whose row, of the given width, holds the candidates.
std::unique_ptr<MainViewController> row(int width, const QList<AppCandidate>& apps) {
    auto vc = std::make_unique<MainViewController>();
    vc->resize(width, 420);
    vc->appContainer->resize(width, 52);
    vc->populateAppButtons(apps, someFile);
    return vc;
}

// WCAG 2 contrast ratio.
double contrast(QRgb a, QRgb b) {
    const auto luminance = [](QRgb rgb) {
        const auto linear = [](int value) {
            const double c = value / 255.0;
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) +
               0.0722 * linear(qBlue(rgb)) + 0.05;
    };
    return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

// The best contrast of the text a widget draws against what lies behind it: the pixels that
// change when its text colour is made transparent are the text's.
double textContrast(QWidget& window, QWidget* text) {
    const QRect area(text->mapTo(&window, QPoint()), text->size());
    const auto image = [&] {
        return window.grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage shown = image();
    const QPalette saved = text->palette();
    QPalette clear = saved;
    clear.setColor(text->foregroundRole(), Qt::transparent);
    text->setPalette(clear);
    const QImage blank = image();
    text->setPalette(saved);
    double best = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            best = std::max(best, contrast(shown.pixel(x, y), blank.pixel(x, y)));
    return best;
}

// The contrast of a symbol's most opaque pixel on a ground; 0 when it draws nothing.
double symbolContrast(const QPixmap& symbol, const QColor& ground) {
    const QImage image = symbol.toImage().convertToFormat(QImage::Format_ARGB32);
    QRgb ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink = qAlpha(image.pixel(x, y)) > qAlpha(ink) ? image.pixel(x, y) : ink;
    return qAlpha(ink) ? contrast(ink, ground.rgb()) : 0;
}

} // namespace

class TestChooserRow final : public QObject {
    Q_OBJECT

public:
    explicit TestChooserRow(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        for (const QString& id : {viewerId, editorId})
            m_sandbox.addApp(id, id.section(u'.', 2, 2), {u"text/plain"_s});
        QStringList tables;
        for (int i = 0; i < 10; ++i) {
            tables.append(u"org.example.Table%1.desktop"_s.arg(i));
            m_sandbox.addApp(tables.last(), u"Table %1"_s.arg(i), {u"text/csv"_s});
        }
        m_sandbox.writeMimeinfoCache(
            {{u"text/plain"_s, {viewerId, editorId}}, {u"text/csv"_s, tables}});
        m_sandbox.writeDefaults({{u"text/plain"_s, viewerId}});
    }

private:
    XdgSandbox& m_sandbox;

private Q_SLOTS:
    // A tile takes 88; the row keeps 80 for the add button, 50 for the overflow button.
    void rowForWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expectedTiles");
        QTest::newRow("400 wide, 10 candidates") << 400 << 10 << 3;
        QTest::newRow("500 wide, 4 candidates") << 500 << 4 << 4;
        QTest::newRow("500 wide, 5 candidates: all fit without add room") << 500 << 5 << 5;
        QTest::newRow("60 wide, 3 candidates: still one") << 60 << 3 << 1;
        QTest::newRow("not laid out: 400 assumed") << 0 << 10 << 3;
        QTest::newRow("no candidates") << 500 << 0 << 0;
    }
    void rowForWidth() {
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(int, expectedTiles);
        const QList<AppCandidate> apps = candidates(count);
        const auto vc = row(width, candidates(3)); // filled again: one set of widgets remains
        vc->populateAppButtons(apps, someFile);
        QCOMPARE(tiles(*vc).size(), expectedTiles);
        QCOMPARE(vc->overflowApps.size(), count - expectedTiles);
        // Tiles, then the overflow, in candidate order.
        for (int i = 0; i < count; ++i) {
            QCOMPARE(i < expectedTiles ? tiles(*vc).at(i)->appURL
                                       : vc->overflowApps.at(i - expectedTiles).url,
                     apps.at(i).url);
        }
        const bool overflow = count > expectedTiles;
        QCOMPARE(vc->appStackView->findChildren<QToolButton*>(), QList{vc->trailingButton});
        QCOMPARE(vc->trailingButton->text(), overflow ? u"⋯"_s : qtTrId("ui.addApp"));
        QCOMPARE(vc->findChildren<StopTimerButton*>().size(), count ? 1 : 0);
    }

    // No application opens the file: one line in the band says so before "Other…", naming the
    // type as the set-default check box does.
    void noApplicationLine_data() {
        QTest::addColumn<QString>("name"); // a name ending in "/": a folder
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("expected"); // empty: tiles and no line
        QTest::newRow("folder") << u"line/folder/"_s << QByteArray()
                                << u"No application opens this folder. Choose one with Other…"_s;
        QTest::newRow("PDF") << u"line/doc.pdf"_s << QByteArray("%PDF-1.4\n")
                             << u"No application opens this PDF document. Choose one with Other…"_s;
        QTest::newRow("unknown data")
            << u"line/data.bin"_s << QByteArray("\x00\x01\x02\xff", 4)
            << u"No application opens files of this type. Choose one with Other…"_s;
        QTest::newRow("text, which two applications open")
            << u"line/notes.txt"_s << QByteArray("notes\n") << QString();
    }
    void noApplicationLine() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(QString, expected);
        const QUrl file = name.endsWith(u'/') ? (m_sandbox.writeFile(name + u"inside.txt"_s, "x"),
                                                 m_sandbox.fileUrl(name.chopped(1)))
                                              : m_sandbox.writeFile(name, contents);
        ChooserWindow shown;
        MainViewController& vc = *shown.vc;
        vc.configure({file}, true);
        vc.showFiles();
        vc.pauseTimer();
        const auto* line = vc.findChild<QLabel*>(u"noApplicationLine"_s);
        if (expected.isEmpty()) {
            QVERIFY(!line);
            QCOMPARE(tiles(vc).size(), 2);
            return;
        }
        QVERIFY(line && line->isVisible());
        QVERIFY(tiles(vc).isEmpty());
        // Whole, or shortened with the whole line in its tool tip.
        QCOMPARE(line->toolTip().isEmpty() ? line->text() : line->toolTip(), expected);
        // On one line in the band, before "Other…" and clear of it.
        QVERIFY(shown.waitUntilSettled());
        const auto inVc = [&vc](const QWidget* w) {
            return QRect(w->mapTo(&vc, QPoint()), w->size());
        };
        const QRect band = inVc(vc.appContainer);
        const QRect text = inVc(line).marginsRemoved(line->contentsMargins());
        const QRect other = inVc(vc.trailingButton);
        QVERIFY(text.left() >= band.left() && other.right() <= band.right());
        QVERIFY(text.right() < other.left());
        QCOMPARE(text.height() < 2 * line->fontMetrics().lineSpacing(), true);
        QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= text.width());
    }

    // Before the window is first shown it takes the options row's width, within the screen;
    // where the screen is too narrow for the option buttons' texts, they show their symbols
    // alone (the texts in their tool tips) and the set-default check box stays whole.
    void optionsRowFitsTheScreen_data() {
        QTest::addColumn<qreal>("fontScale");
        QTest::addColumn<bool>("compact");
        QTest::newRow("room for every text") << 1.0 << false;
        QTest::newRow("a large font on a small screen") << 1.5 << true;
    }
    void optionsRowFitsTheScreen() {
        QFETCH(qreal, fontScale);
        QFETCH(bool, compact);
        QWidget window;
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * fontScale);
        window.setFont(font);
        auto* vc = new MainViewController;
        auto* layout = new QVBoxLayout(&window); // as the shell embeds it
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(vc);
        window.resize(520, 420);
        vc->configure({m_sandbox.writeFile(u"fits.txt"_s, "1\n")}, true);
        vc->showFiles();
        vc->pauseTimer();
        const std::optional<QRect> placed = vc->fitWindowToScreen();
        QVERIFY(placed);
        QVERIFY(window.screen()->availableGeometry().contains(*placed));
        // Decided before the first frame.
        const QList<const QToolButton*> named = {vc->ruleButton, vc->laterPopUp, vc->shareButton};
        for (const QToolButton* button : named) {
            QCOMPARE(button->toolButtonStyle() == Qt::ToolButtonIconOnly, compact);
            QCOMPARE(button->toolTip() == button->text(), compact);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), placed->size());

        for (QWidget* control :
             vc->optionsStack->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            const QRect inWindow(control->mapTo(&window, QPoint()), control->size());
            QVERIFY2(window.rect().contains(inWindow), qPrintable(control->objectName()));
        }
        QVERIFY(vc->setDefaultButton->isVisible());
        QCOMPARE(vc->setDefaultButton->width(), vc->setDefaultButton->sizeHint().width());
    }

    void overflowMenu() {
        QList<AppCandidate> apps = candidates(6);
        apps[4].name = apps[5].name = u"Viewer"_s;
        apps[4].version = u"11.0"_s;
        const auto vc = row(400, apps);
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        QMenu* menu = vc->onOverflowTapped(vc->trailingButton, false);
        QVERIFY(vc->isTimerPaused);
        QStringList titles;
        for (const QAction* item : menu->actions())
            titles.append(item->isSeparator() ? u"-"_s : item->text());
        QCOMPARE(titles, (QStringList{u"App 3"_s, u"Viewer (11.0)"_s, u"Viewer"_s, u"-"_s,
                                      qtTrId("ui.addApp")}));
        QCOMPARE(menu->actions().at(1)->data().toUrl(), apps.at(4).url);
        // Without files on show, neither a menu item nor a tile opens anything.
        menu->actions().at(1)->trigger();
        QTest::mouseClick(tiles(*vc).at(1), Qt::LeftButton);
        QVERIFY(!vc->isLaunchInFlight() && terminate.isEmpty());
        delete menu;
    }

    void namesToolTipsAndTabOrder() {
        ChooserWindow c;
        c.vc->configure({m_sandbox.writeFile(u"one.txt"_s, "1\n")}, true, false);
        c.vc->showFiles();
        QApplication::setActiveWindow(&c.window);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        MainViewController& vc = *c.vc;
        // The tiles' names ("Open with Viewer"): tst_e2e_controls, as a screen reader reads them.
        QCOMPARE(vc.stopTimerButton->toolTip(), u"Stop opening with Viewer automatically"_s);
        QCOMPARE(vc.setDefaultButton->text(),
                 u"Always ask with Marvoline for every plain text document"_s);
        QCOMPARE(vc.setDefaultButton->toolTip(),
                 u"Files of this type will open through "
                 u"Marvoline; it remembers Viewer as their default."_s);
        const auto unknown = showing({m_sandbox.writeFile(u"blob.unknown-kind"_s, "\0\xff"_ba)});
        QCOMPARE(unknown->setDefaultButton->text(),
                 u"Always ask with Marvoline for files of this type"_s);

        // The row is one Tab stop: the arrows move along it, onto the trailing button too; Tab
        // leaves it for the options and Shift+Tab comes back to where it was left.
        QCOMPARE(QApplication::focusWidget(), tiles(vc).at(0));
        const auto press = [](int key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
            return QApplication::focusWidget();
        };
        const int back = Qt::Key_Backtab;
        const QList<QWidget*> walk{press(Qt::Key_Tab),
                                   press(Qt::Key_Tab),
                                   press(back, Qt::ShiftModifier),
                                   press(back, Qt::ShiftModifier),
                                   press(Qt::Key_End),
                                   press(Qt::Key_Left),
                                   press(Qt::Key_Right),
                                   press(Qt::Key_Right),
                                   press(Qt::Key_Tab),
                                   press(back, Qt::ShiftModifier),
                                   press(Qt::Key_Home),
                                   press(Qt::Key_Left)};
        QCOMPARE(walk, (QList<QWidget*>{vc.ruleButton, vc.laterPopUp, vc.ruleButton,
                                        tiles(vc).at(0), vc.trailingButton, tiles(vc).at(1),
                                        vc.trailingButton, vc.trailingButton, vc.ruleButton,
                                        vc.trailingButton, tiles(vc).at(0), tiles(vc).at(0)}));
        // The focused tile moves into the overflow menu; the focus to the button that opens it.
        QTest::keyClick(tiles(vc).at(0), Qt::Key_Right);
        vc.populateAppButtons(candidates(8) << vc.allAppCandidates.at(1), someFile);
        QCOMPARE(QApplication::focusWidget(), vc.trailingButton);
        QCOMPARE(QAccessible::queryAccessibleInterface(vc.trailingButton)->text(QAccessible::Name),
                 u"More applications"_s);
        // The text preview, whose view is made after the window's first frame, comes after the
        // options: Shift+Tab from the row reaches it, and from there the last option.
        const auto* preview = qobject_cast<GeneralPreviewView*>(vc.previewView);
        QVERIFY(preview);
        QTRY_VERIFY(preview->content() && preview->content()->isVisible());
        QVERIFY(qobject_cast<QPlainTextEdit*>(preview->content()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), preview->content());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), vc.setDefaultButton);
    }

    // Return and Enter press the focused option as Space does. Later, Copy and the overflow
    // button open their menus, which a key opens at the first item that can be chosen.
    void keysPressTheOptions_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("key");         // 0: a click
        QTest::addColumn<QString>("outcome"); // "clicked", "picker" or the menu's active item
        const auto row = [](const char* name, const QString& control, int key,
                            const QString& outcome) {
            QTest::newRow(name) << control << key << outcome;
        };
        row("Rule, Return", u"rule"_s, Qt::Key_Return, u"clicked"_s);
        row("Share, Enter", u"share"_s, Qt::Key_Enter, u"clicked"_s);
        row("Close, Return", u"close"_s, Qt::Key_Return, u"clicked"_s);
        row("Later, Return", u"later"_s, Qt::Key_Return, u"In 10 seconds"_s);
        row("Later, Space", u"later"_s, Qt::Key_Space, u"In 10 seconds"_s);
        row("Later, click: nothing selected", u"later"_s, 0, QString());
        // Its header cannot be chosen.
        row("Copy, Enter", u"copy"_s, Qt::Key_Enter, u"File Name"_s);
        row("More, Return", u"more"_s, Qt::Key_Return, u"(first overflow)"_s);
        row("More, Space", u"more"_s, Qt::Key_Space, u"(first overflow)"_s);
        row("More, click: nothing selected", u"more"_s, 0, QString());
        row("Other…, Enter", u"other"_s, Qt::Key_Enter, u"picker"_s);
    }
    void keysPressTheOptions() {
        QFETCH(QString, control);
        QFETCH(int, key);
        QFETCH(QString, outcome);
        ChooserWindow c;
        MainViewController& vc = *c.vc;
        vc.configure({m_sandbox.writeFile(u"keys.txt"_s, "1\n")}, true, false);
        vc.showFiles();
        if (control == u"more")
            vc.populateAppButtons(candidates(8), vc.fileURLs.first());
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        const QHash<QString, QToolButton*> controls{
            {u"rule"_s, vc.ruleButton},     {u"share"_s, vc.shareButton},
            {u"close"_s, vc.closeButton},   {u"later"_s, vc.laterPopUp},
            {u"copy"_s, vc.copyPopUp},      {u"more"_s, vc.trailingButton},
            {u"other"_s, vc.trailingButton}};
        QToolButton* button = controls.value(control);
        if (outcome == u"(first overflow)")
            outcome = vc.overflowApps.value(0).name;
        QCOMPARE(button->text() == u"⋯"_s, control == u"more");
        QSignalSpy clicked(button, &QToolButton::clicked);
        button->setFocus();
        if (key)
            QTest::keyClick(button, Qt::Key(key));
        else
            QTest::mouseClick(button, Qt::LeftButton);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        const auto closeMenu = qScopeGuard([menu] {
            if (menu)
                menu->close();
        });
        if (outcome == u"clicked") {
            QCOMPARE(clicked.size(), 1);
            QVERIFY(!menu);
        } else if (outcome == u"picker") {
            auto* picker = c.window.findChild<ApplicationPickerDialog*>();
            QVERIFY(picker && picker->isVisible());
            picker->reject();
        } else {
            QVERIFY(menu && menu->isVisible());
            QCOMPARE(menu->activeAction() ? menu->activeAction()->text() : QString(), outcome);
        }
    }

    void stopButton_data() {
        QTest::addColumn<int>("defaultIndex");
        QTest::addColumn<bool>("skip");
        QTest::addColumn<bool>("paused");
        QTest::newRow("on the default tile") << 1 << false << false;
        QTest::newRow("no default candidate") << -1 << false << false;
        QTest::newRow("reminder: no countdown") << 0 << true << false;
        QTest::newRow("paused countdown keeps its look") << 0 << false << true;
    }
    void stopButton() {
        QFETCH(int, defaultIndex);
        QFETCH(bool, skip);
        QFETCH(bool, paused);
        MainViewController vc;
        vc.skipTimer = skip;
        if (paused)
            vc.pauseTimer();
        vc.resize(520, 420);
        vc.show();
        QVERIFY(QTest::qWaitForWindowExposed(&vc));
        vc.populateAppButtons(candidates(3, defaultIndex), someFile);
        AppIconButton* defaultTile = defaultIndex < 0 ? nullptr : tiles(vc).at(defaultIndex);
        QCOMPARE(vc.defaultAppButton.data(), defaultTile);
        const bool shown = defaultTile && !skip;
        QCOMPARE(vc.findChildren<StopTimerButton*>().size(), shown ? 1 : 0);
        if (!shown)
            return;
        QCOMPARE(vc.stopTimerButton->isHidden(), paused);
        // On the default tile's corner, also once a wider window has moved the row.
        vc.resize(800, 420);
        QTRY_COMPARE(vc.stopTimerButton->pos(), defaultTile->mapTo(&vc, QPoint(-8, -8)));
    }

    // The countdown of one default tile with no application to open: its end terminates without
    // opening anything. The test drives the ticks.
    void countdownTicksStopsAndRestarts() {
        const auto vc = row(500, candidates(1));
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        const auto tick = [&vc](int times) {
            for (int i = 0; i < times; ++i)
                vc->tick();
            return vc->defaultAppButton->fillProgress();
        };
        vc->startTimer({}, std::nullopt);
        vc->timer->setInterval(3600 * 1000);
        QCOMPARE(tick(20), 0.4);
        // The stop button pauses for good: no fill, no end.
        vc->stopTimerButton->show();
        QTest::mouseClick(vc->stopTimerButton, Qt::LeftButton);
        QVERIFY(vc->isTimerPaused && vc->stopTimerButton->isHidden());
        QCOMPARE(tick(200), 0.0);
        QCOMPARE(terminate.size(), 0);

        // New files count down afresh, by two hundredths a tick; fifty subtractions of 0.1 from
        // 5.0 leave a tiny positive remainder, so the end comes on tick 51, once.
        vc->startTimer({}, std::nullopt);
        vc->timer->setInterval(3600 * 1000);
        QVERIFY(!vc->isTimerPaused && !vc->stopTimerButton->isHidden());
        QCOMPARE(tick(25), 0.5);
        QCOMPARE(tick(25), 1.0);
        QCOMPARE(terminate.size(), 0);
        tick(2);
        QCOMPARE(terminate.size(), 1);
    }

    void displayFlowFlags_data() {
        QTest::addColumn<bool>("openAsContext");
        QTest::addColumn<bool>("skip");
        QTest::addColumn<bool>("checkBoxVisible");
        QTest::newRow("context, countdown") << true << false << true;
        QTest::newRow("context, reminder") << true << true << false;
        QTest::newRow("default handler, countdown") << false << false << false;
        QTest::newRow("default handler, reminder") << false << true << false;
    }
    void displayFlowFlags() {
        QFETCH(bool, openAsContext);
        QFETCH(bool, skip);
        QFETCH(bool, checkBoxVisible);
        // Shown first with a countdown and the check box; a reminder's answer then stops it.
        const QUrl file = m_sandbox.writeFile(u"flags.unknownext"_s, "data");
        ChooserWindow c;
        MainViewController* vc = c.vc;
        vc->configure({file}, true, false);
        vc->showFiles();
        QVERIFY(vc->timer && vc->timer->isActive());
        const int widest = c.window.minimumWidth();
        QVERIFY(widest > 0);
        vc->configure({file}, openAsContext, skip);
        vc->showFiles();
        QCOMPARE(vc->timerSectionStack->isVisibleTo(vc), !skip);
        QCOMPARE(vc->setDefaultButton->isVisibleTo(vc), checkBoxVisible);
        QCOMPARE(vc->timer && vc->timer->isActive(), !skip);
        // Without the check box the options row needs less room, but the window's minimum width
        // never shrinks.
        if (!checkBoxVisible)
            QVERIFY(vc->optionsStack->sizeHint().width() + 24 < widest);
        QCOMPARE(c.window.minimumWidth(), widest);

        // No application knows the file: a double click on the preview opens nothing.
        QSignalSpy terminate(vc, &MainViewController::terminateRequested);
        QTest::mouseDClick(vc->previewContainer, Qt::LeftButton);
        QVERIFY(terminate.isEmpty());
        const auto empty = showing({}); // no files: nothing starts
        QVERIFY(!empty->timer && empty->allAppCandidates.isEmpty());
    }

    // Controls that stop the countdown by themselves, without the key press or click over the
    // preview that the input monitor takes as attention: menus opened by a click or by a program.
    void controlsPauseTheCountdown_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("rule button") << u"rule"_s;
        QTest::newRow("Later menu") << u"later"_s;
        QTest::newRow("copy menu") << u"copy"_s;
    }
    void controlsPauseTheCountdown() {
        QFETCH(QString, control);
        ChooserWindow c;
        c.vc->configure({m_sandbox.writeFile(u"pause.txt"_s, "1\n")}, true, false);
        c.vc->showFiles();
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        QVERIFY(c.vc->timer && c.vc->timer->isActive() && !c.vc->isTimerPaused);
        if (control == u"rule") {
            c.vc->ruleButton->click();
        } else {
            MenuButton* button = control == u"later" ? c.vc->laterPopUp : c.vc->copyPopUp;
            button->popUpMenu()->popup(button->mapToGlobal(QPoint(0, button->height())));
            QVERIFY(button->popUpMenu()->isVisible());
            button->popUpMenu()->close();
        }
        QVERIFY(c.vc->isTimerPaused);
        // Paused for good: however long it ticks on, nothing opens.
        QSignalSpy terminate(c.vc, &MainViewController::terminateRequested);
        for (int i = 0; i < 60; ++i)
            c.vc->tick();
        QCOMPARE(terminate.size(), 0);
    }

    // Moves and resizes of the chooser's window pause once it has been quiet for a while (until
    // then they are the window manager's placing it); a wider window fills the row anew.
    void windowChanges_data() {
        QTest::addColumn<bool>("settled");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("pauses");
        QTest::newRow("move while placed") << false << u"move"_s << false;
        QTest::newRow("resize while placed") << false << u"resize"_s << false;
        QTest::newRow("the user's move") << true << u"move"_s << true;
        QTest::newRow("the user's resize") << true << u"resize"_s << true;
    }
    void windowChanges() {
        QFETCH(bool, settled);
        QFETCH(QString, change);
        QFETCH(bool, pauses);
        ChooserWindow w;
        QVERIFY(settled ? w.waitUntilSettled() : QTest::qWaitForWindowExposed(&w.window));
        w.vc->fileURLs = {someFile};
        w.vc->populateAppButtons(candidates(10), someFile);
        w.vc->startTimer({}, std::nullopt);
        const qsizetype before = w.vc->overflowApps.size();
        if (change == u"move") {
            w.window.move(w.window.pos() + QPoint(40, 0));
        } else {
            w.window.resize(1000, 420);
            QTRY_VERIFY(w.vc->overflowApps.size() < before);
        }
        if (pauses)
            QTRY_VERIFY(w.vc->isTimerPaused);
        else
            QVERIFY(w.waitUntilSettled() && !w.vc->isTimerPaused);
    }

    // Before it is first shown, the window widens for its options row; the row is filled for the
    // widened window at once, not first for the narrower one and again when it is fitted.
    void rowFilledForTheWidenedWindow() {
        QWidget window;
        auto* vc = new MainViewController;
        (new QVBoxLayout(&window))->addWidget(vc);
        window.resize(300, 420);
        vc->configure({m_sandbox.writeFile(u"many.csv"_s, "a,b\n")}, true, false);
        vc->showFiles();
        QVERIFY(window.width() > 300);
        const auto count = int(vc->allAppCandidates.size()); // the plain-text ones too
        QVERIFY(count >= 10 && !vc->overflowApps.isEmpty());
        QCOMPARE(tiles(*vc).size(), MainViewController::tilesThatFit(window.width() - 24, count));
    }

    // A resize that leaves room for as many tiles keeps the row's widgets, and with them the tile
    // the keyboard or a screen reader is on; one with room for more fills the row anew.
    void rowKeptWhileAsManyTilesFit() {
        ChooserWindow w;
        QVERIFY(w.waitUntilSettled());
        w.vc->fileURLs = {someFile};
        w.vc->populateAppButtons(candidates(10), someFile);
        const QList<AppIconButton*> shown = tiles(*w.vc);
        const QList<QPointer<AppIconButton>> watched(shown.begin(), shown.end());
        int grow = 0;
        while (grow < 80 && MainViewController::tilesThatFit(w.vc->appContainer->width() + grow + 1,
                                                             10) == shown.size())
            ++grow;
        QVERIFY(grow > 0);
        const int width = w.window.width();
        for (const int by : {grow, -grow}) {
            w.window.resize(w.window.width() + by, w.window.height() + by);
            QTRY_COMPARE(w.window.width(), by > 0 ? width + grow : width);
            QTest::qWait(50); // the row's refill waits for the layout's pass
            QVERIFY(std::all_of(watched.begin(), watched.end(), [](const auto& t) { return t; }));
            QCOMPARE(tiles(*w.vc), shown);
        }
        w.window.resize(width + 200, w.window.height());
        QTRY_VERIFY(tiles(*w.vc).size() > shown.size());
    }

    // Signs of the user's attention pause the countdown and go on to their widget: a left click or
    // a wheel turn over the preview pane, a key press anywhere. Another window of the program over
    // the pane, like a dialog, is not the pane.
    void signsOfAttention_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("where"); // the preview pane's centre, top or right edge; the row
        QTest::addColumn<bool>("pauses");
        QTest::newRow("click") << u"click"_s << u"centre"_s << true;
        QTest::newRow("click on the app row") << u"click"_s << u"row"_s << false;
        // The pane's top line and the line just right of it are outside it.
        QTest::newRow("click on the top edge") << u"click"_s << u"top"_s << false;
        QTest::newRow("click right of the pane") << u"click"_s << u"right"_s << false;
        QTest::newRow("right click") << u"right click"_s << u"centre"_s << false;
        QTest::newRow("click in another window") << u"other window"_s << u"centre"_s << false;
        QTest::newRow("wheel") << u"wheel"_s << u"centre"_s << true;
        QTest::newRow("wheel over the app row") << u"wheel"_s << u"row"_s << false;
        QTest::newRow("key") << u"key"_s << u"centre"_s << true;
        // A modifier held alone types nothing; Alt is where Alt-Tab away begins.
        for (const char* modifier : {"Shift", "Control", "Alt", "AltGr", "Super_L", "Meta"})
            QTest::newRow(modifier) << u"modifier"_s << QString::fromLatin1(modifier) << false;
    }
    void signsOfAttention() {
        QFETCH(QString, input);
        QFETCH(QString, where);
        QFETCH(bool, pauses);
        // A chooser in a shown window with a running countdown, its preview a text that scrolls.
        ChooserWindow c;
        auto* preview = new QPlainTextEdit(u"line\n"_s.repeated(300));
        (new QVBoxLayout(c.vc->previewContainer))->addWidget(preview);
        preview->setFocusPolicy(Qt::ClickFocus);
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.vc->startTimer({}, std::nullopt);
        QWidget* pane = c.vc->previewContainer;
        const QPoint centre = pane->rect().center();
        const QHash<QString, QPoint> inPane{{u"centre"_s, centre},
                                            {u"top"_s, {centre.x(), 0}},
                                            {u"right"_s, {pane->width(), centre.y()}}};
        const QPoint point = where == u"row" ? c.vc->appContainer->mapTo(&c.window, QPoint(5, 5))
                                             : pane->mapTo(&c.window, inPane.value(where));
        QLineEdit other;
        if (input == u"wheel") {
            QWidget* target = c.window.childAt(point);
            QWheelEvent wheel(target->mapFrom(&c.window, QPointF(point)),
                              c.window.mapToGlobal(QPointF(point)), {}, {0, -120}, Qt::NoButton, {},
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &wheel);
        } else if (input == u"key") {
            preview->setFocus();
            QTest::keyClick(c.window.windowHandle(), Qt::Key_End, Qt::ControlModifier);
        } else if (input == u"modifier") {
            const QHash<QString, Qt::Key> keys{
                {u"Shift"_s, Qt::Key_Shift},     {u"Control"_s, Qt::Key_Control},
                {u"Alt"_s, Qt::Key_Alt},         {u"AltGr"_s, Qt::Key_AltGr},
                {u"Super_L"_s, Qt::Key_Super_L}, {u"Meta"_s, Qt::Key_Meta}};
            // QTest refuses to send a modifier alone; the window system sends just this.
            QKeyEvent press(QEvent::KeyPress, keys.value(where), Qt::NoModifier);
            QApplication::sendEvent(
                QApplication::focusWidget() ? QApplication::focusWidget() : &c.window, &press);
        } else if (input == u"other window") {
            other.setGeometry(QRect(c.window.mapToGlobal(point) - QPoint(20, 10), QSize(40, 20)));
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            c.vc->startTimer({}, std::nullopt); // showing it was a window change of its own
            QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, QPoint(20, 10));
        } else {
            QTest::mouseClick(c.window.windowHandle(),
                              input == u"click" ? Qt::LeftButton : Qt::RightButton, {}, point);
        }
        QCOMPARE(c.vc->isTimerPaused, pauses);
        // What pauses still reaches the preview: a click focuses it, a wheel or key scrolls it.
        if (pauses)
            QTRY_VERIFY(input == u"click" ? preview->hasFocus()
                                          : preview->verticalScrollBar()->value() > 0);
    }

    // Every text and monochrome symbol reads in a light palette and in a dark one with a mid-grey
    // for disabled text; a doubled application font enlarges the texts.
    void readableInEveryPaletteAndFont_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark, double font") << true;
    }
    void readableInEveryPaletteAndFont() {
        QFETCH(bool, dark);
        const QFont font = QApplication::font();
        QPalette palette = QApplication::style()->standardPalette();
        for (const auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
            palette.setColor(role, dark ? QColor(53, 53, 53) : palette.color(role));
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            palette.setColor(role, dark ? Qt::white : palette.color(role));
            palette.setColor(QPalette::Disabled, role, dark ? Qt::gray : palette.color(role));
        }
        QApplication::setPalette(palette);
        ChooserWindow c;
        c.vc->configure({m_sandbox.writeFile(u"read.txt"_s, "1\n")}, true, false);
        c.vc->showFiles();
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        MainViewController& vc = *c.vc;
        vc.pauseTimer(); // no countdown fill behind the default tile's texts
        const int normal = QFontInfo(vc.ruleButton->font()).pixelSize();
        if (dark) {
            QApplication::setFont(QFont(font.family(), int(font.pointSizeF() * 2)));
            QTRY_VERIFY(QFontInfo(vc.ruleButton->font()).pixelSize() > normal * 1.5);
            QTRY_VERIFY(QFontInfo(tiles(vc).at(0)->label()->font()).pixelSize() > normal * 1.5);
            QTRY_VERIFY(QFontInfo(vc.dragHandle->label()->font()).pixelSize() > normal * 1.5);
        }
        QList<AppCandidate> versioned = vc.allAppCandidates;
        versioned.first().version = u"44.1"_s;
        vc.populateAppButtons(versioned, vc.fileURLs.first());
        const QList<QWidget*> texts{vc.dragHandle->label(),
                                    tiles(vc).at(0)->label(),
                                    tiles(vc).at(0)->versionLabel(),
                                    tiles(vc).at(1)->label(),
                                    vc.setDefaultButton,
                                    vc.ruleButton,
                                    vc.laterPopUp,
                                    vc.closeButton};
        for (QWidget* text : texts)
            QVERIFY2(textContrast(c.window, text) >= 4.5,
                     qPrintable(text->property("text").toString()));
        for (QToolButton* option :
             QList<QToolButton*>{vc.ruleButton, vc.laterPopUp, vc.copyPopUp, vc.shareButton})
            QVERIFY(symbolContrast(option->icon().pixmap(option->iconSize()),
                                   palette.color(QPalette::Button)) >= 3);
        QApplication::setFont(font);
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    // A tile is 96 wide and overlaps the next by 8; the add button and margins take 112.
    void zoomFrame_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QRect>("current");
        QTest::addColumn<QRect>("screen"); // the default frame and the visible area
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 25, 1440, 850), window(100, 200, 480, 300);
        QTest::newRow("3: never narrower") << 3 << window << screen << window;
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
};

MARVOLINE_TEST_MAIN(TestChooserRow)
#include "tst_chooser_row.moc"
