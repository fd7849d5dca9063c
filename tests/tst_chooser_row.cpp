// The app row: how many tiles fit, the overflow menu, the default tile and its
// stop button, and rebuilding the row.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "views/StopTimerButton.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

const QUrl someFile = QUrl::fromLocalFile(u"/tmp/x.txt"_s);

QList<QToolButton*> trailingButtons(const MainViewController& vc) {
    return vc.appStackView->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class TestChooserRow final : public QObject {
    Q_OBJECT

public:
    explicit TestChooserRow(XdgSandbox&) {}

private Q_SLOTS:
    void visibleCount_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("expected");
        QTest::newRow("width 500") << 500.0 << 4;
        QTest::newRow("exactly four tiles") << 80.0 + 4 * 88 << 4;
        QTest::newRow("one pixel short of four") << 80.0 + 4 * 88 - 1 << 3;
        QTest::newRow("zero width: still one") << 0.0 << 1;
    }
    void visibleCount() {
        QFETCH(double, width);
        QFETCH(int, expected);
        QCOMPARE(MainViewController::visibleAppCount(width), expected);
    }

    void rowForWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expectedTiles");
        QTest::newRow("400 wide, 10 candidates") << 400 << 10 << 3;
        QTest::newRow("500 wide, 4 candidates") << 500 << 4 << 4;
        QTest::newRow("500 wide, 5 candidates: all fit without add room") << 500 << 5 << 5;
        QTest::newRow("60 wide, 3 candidates") << 60 << 3 << 1;
        QTest::newRow("not laid out: 400 assumed") << 0 << 10 << 3;
        QTest::newRow("no candidates") << 500 << 0 << 0;
    }
    void rowForWidth() {
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(int, expectedTiles);
        MainViewController vc;
        vc.resize(width, 420);
        vc.appContainer->resize(width, 52);
        const QList<AppCandidate> apps = candidates(count);
        vc.populateAppButtons(apps, someFile);

        QCOMPARE(tiles(vc).size(), expectedTiles);
        QCOMPARE(vc.allAppCandidates.size(), count);
        // Tiles, then the overflow, in candidate order.
        for (int i = 0; i < count; ++i) {
            QCOMPARE(i < expectedTiles ? tiles(vc).at(i)->appURL
                                       : vc.overflowApps.at(i - expectedTiles).url,
                     apps.at(i).url);
        }
        const bool overflow = count > expectedTiles;
        QCOMPARE(trailingButtons(vc).size(), 1);
        QCOMPARE(vc.trailingButton->text(), overflow ? u"⋯"_s : qtTrId("ui.addApp"));
        // The trailing button fits the room the row keeps for it.
        QVERIFY(vc.trailingButton->sizeHint().width() <=
                (overflow ? MainViewController::overflowButtonWidth
                          : MainViewController::addButtonWidth));
    }

    void overflowMenu() {
        MainViewController vc;
        vc.appContainer->resize(400, 52);
        QList<AppCandidate> apps = candidates(6);
        apps[4].name = apps[5].name = u"Viewer"_s;
        apps[4].version = u"11.0"_s;
        apps[5].icon.reset();
        vc.populateAppButtons(apps, someFile);
        QCOMPARE(vc.overflowApps.size(), 3);

        QMenu* menu = vc.onOverflowTapped(vc.trailingButton, false);
        QVERIFY(vc.isTimerPaused);
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 3 + 2);
        QCOMPARE(items.at(0)->text(), u"App 3"_s);
        QCOMPARE(items.at(1)->text(), u"Viewer (11.0)"_s);
        QCOMPARE(items.at(2)->text(), u"Viewer"_s);
        QVERIFY(!items.at(1)->icon().isNull());
        QVERIFY(items.at(2)->icon().isNull());
        QCOMPARE(items.at(1)->data().toUrl(), apps.at(4).url);
        QVERIFY(items.at(3)->isSeparator());
        QCOMPARE(items.at(4)->text(), qtTrId("ui.addApp"));
        delete menu;
    }

    void repeatedPopulationLeavesOneSet() {
        MainViewController vc;
        vc.appContainer->resize(500, 52);
        for (int i = 0; i < 4; ++i)
            vc.populateAppButtons(candidates(3), someFile);
        QCOMPARE(tiles(vc).size(), 3);
        QCOMPARE(trailingButtons(vc).size(), 1);
        QCOMPARE(vc.findChildren<StopTimerButton*>(), QList<StopTimerButton*>{vc.stopTimerButton});
        QCOMPARE(vc.defaultAppButton.data(), tiles(vc).first());
    }

    void defaultTileAndStopButtonPlacement() {
        MainViewController vc;
        vc.resize(520, 420);
        vc.show();
        QVERIFY(QTest::qWaitForWindowExposed(&vc));
        vc.populateAppButtons(candidates(3, 1), someFile);
        // Laid out at once, without waiting for the event loop.
        QCOMPARE(vc.appStackView->width(), 3 * 88 + vc.trailingButton->sizeHint().width());

        AppIconButton* defaultTile = tiles(vc).at(1);
        QCOMPARE(vc.defaultAppButton.data(), defaultTile);
        QCOMPARE(vc.stopTimerButton->parentWidget(), &vc);
        QTRY_COMPARE(vc.stopTimerButton->pos(), defaultTile->mapTo(&vc, QPoint(-8, -8)));
        QCOMPARE(vc.stopTimerButton->size(), QSize(28, 28));

        // The row is centred on the band, and its tiles are not cut by it.
        const QRect row = vc.appStackView->geometry();
        const QRect band(vc.appContainer->mapTo(&vc, QPoint(0, 0)), vc.appContainer->size());
        QVERIFY(qAbs(row.center().x() - band.center().x()) <= 1);
        QVERIFY(qAbs(row.center().y() - band.center().y()) <= 1);
        QCOMPARE(defaultTile->height(), defaultTile->sizeHint().height());

        // A wider window moves the row; the stop button follows the tile.
        vc.resize(800, 420);
        QTRY_COMPARE(vc.stopTimerButton->pos(), defaultTile->mapTo(&vc, QPoint(-8, -8)));
    }

    void stopButton_data() {
        QTest::addColumn<int>("defaultIndex");
        QTest::addColumn<bool>("skip");
        QTest::addColumn<bool>("paused");
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
        vc.appContainer->resize(500, 52);
        vc.populateAppButtons(candidates(3, defaultIndex), someFile);
        QCOMPARE(vc.defaultAppButton.data(),
                 defaultIndex < 0 ? nullptr : tiles(vc).at(defaultIndex));
        const bool expected = defaultIndex >= 0 && !skip;
        QCOMPARE(vc.findChildren<StopTimerButton*>().size(), expected ? 1 : 0);
        if (expected)
            QCOMPARE(vc.stopTimerButton->isHidden(), paused);
    }

    void clickWithoutFilesDoesNothing() {
        MainViewController vc;
        vc.appContainer->resize(500, 52);
        vc.populateAppButtons(candidates(2), someFile);
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        QTest::mouseClick(tiles(vc).at(1), Qt::LeftButton);
        QVERIFY(!vc.isTimerPaused && !vc.isLaunchInFlight());
        QCOMPARE(terminate.size(), 0);
    }
};

MARVOLINE_TEST_MAIN(TestChooserRow)
#include "tst_chooser_row.moc"
