// The app row: how many tiles fit, the overflow menu, the default tile and its
// stop button, and rebuilding the row.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "views/AppIconButton.h"
#include "views/StopTimerButton.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QToolButton>

using namespace marvoline;

namespace {

QIcon solidIcon(QColor color) {
    QPixmap pixmap(64, 64);
    pixmap.fill(color);
    return QIcon(pixmap);
}

QList<AppCandidate> candidates(int count, int defaultIndex = 0) {
    QList<AppCandidate> list;
    for (int i = 0; i < count; ++i) {
        AppCandidate c;
        c.url = QUrl::fromLocalFile(QStringLiteral("/apps/app%1.desktop").arg(i));
        c.name = QStringLiteral("App %1").arg(i);
        c.icon = solidIcon(QColor::fromHsv(i * 30 % 360, 200, 200));
        c.isDefault = i == defaultIndex;
        list.append(c);
    }
    return list;
}

QList<AppIconButton*> tiles(const MainViewController& vc) {
    return vc.appStackView->findChildren<AppIconButton*>(QString(), Qt::FindDirectChildrenOnly);
}

QList<StopTimerButton*> stopButtons(const MainViewController& vc) {
    return vc.findChildren<StopTimerButton*>();
}

QList<QToolButton*> trailingButtons(const MainViewController& vc) {
    return vc.appStackView->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class ChooserRowTest : public QObject {
    Q_OBJECT

public:
    explicit ChooserRowTest(test::XdgSandbox&) {}

private Q_SLOTS:
    void visibleCount_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("expected");
        QTest::newRow("fallback width 400") << 400.0 << 3;
        QTest::newRow("width 500") << 500.0 << 4;
        QTest::newRow("exactly four tiles") << 80.0 + 4 * 88 << 4;
        QTest::newRow("one pixel short of four") << 80.0 + 4 * 88 - 1 << 3;
        QTest::newRow("width 60: still one") << 60.0 << 1;
        QTest::newRow("zero width") << 0.0 << 1;
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
        QTest::addColumn<bool>("expectOverflow");
        QTest::newRow("400 wide, 10 candidates") << 400 << 10 << 3 << true;
        QTest::newRow("500 wide, 4 candidates") << 500 << 4 << 4 << false;
        QTest::newRow("500 wide, 5 candidates: all fit without add room") << 500 << 5 << 5 << false;
        QTest::newRow("60 wide, 3 candidates") << 60 << 3 << 1 << true;
        QTest::newRow("no candidates") << 500 << 0 << 0 << false;
    }
    void rowForWidth() {
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(int, expectedTiles);
        QFETCH(bool, expectOverflow);

        MainViewController vc;
        vc.appContainer->resize(width, 52);
        const QList<AppCandidate> apps = candidates(count);
        vc.populateAppButtons(apps, QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt")));

        QCOMPARE(tiles(vc).size(), expectedTiles);
        QCOMPARE(vc.overflowApps.size(), count - expectedTiles);
        QCOMPARE(vc.allAppCandidates.size(), count);
        const QList<QToolButton*> trailing = trailingButtons(vc);
        QCOMPARE(trailing.size(), 1);
        QCOMPARE(trailing.first()->text(),
                 expectOverflow ? QStringLiteral("⋯") : qtTrId("ui.addApp"));
        // The trailing button fits the room the row keeps for it.
        QVERIFY(trailing.first()->sizeHint().width() <=
                (expectOverflow ? MainViewController::overflowButtonWidth
                                : MainViewController::addButtonWidth));
        // Tiles are in candidate order.
        for (int i = 0; i < expectedTiles; ++i)
            QCOMPARE(tiles(vc).at(i)->appURL, apps.at(i).url);
        // Overflow keeps the remaining candidates in order.
        for (int i = 0; i < vc.overflowApps.size(); ++i)
            QCOMPARE(vc.overflowApps.at(i).url, apps.at(expectedTiles + i).url);
    }

    void fallbackWidthWhenNotLaidOut() {
        // Neither the band nor the view has a width: 400 is assumed.
        MainViewController vc;
        vc.appContainer->resize(0, 52);
        vc.resize(0, 420);
        vc.populateAppButtons(candidates(10), QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt")));
        QCOMPARE(tiles(vc).size(), 3);
        QCOMPARE(vc.overflowApps.size(), 7);
    }

    void overflowMenu() {
        MainViewController vc;
        vc.appContainer->resize(400, 52);
        QList<AppCandidate> apps = candidates(6);
        apps[4].name = QStringLiteral("Viewer");
        apps[4].version = QStringLiteral("11.0");
        apps[5].name = QStringLiteral("Viewer");
        apps[5].icon.reset();
        vc.populateAppButtons(apps, QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt")));
        QCOMPARE(vc.overflowApps.size(), 3);

        QMenu* menu = vc.onOverflowTapped(trailingButtons(vc).first(), false);
        QVERIFY(vc.isTimerPaused);
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 3 + 2);
        QCOMPARE(items.at(0)->text(), QStringLiteral("App 3"));
        QCOMPARE(items.at(1)->text(), QStringLiteral("Viewer (11.0)"));
        QCOMPARE(items.at(2)->text(), QStringLiteral("Viewer"));
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
        const QList<AppCandidate> apps = candidates(3, 0);
        for (int i = 0; i < 4; ++i)
            vc.populateAppButtons(apps, QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt")));
        QCOMPARE(tiles(vc).size(), 3);
        QCOMPARE(trailingButtons(vc).size(), 1);
        QCOMPARE(stopButtons(vc).size(), 1);
        QCOMPARE(vc.stopTimerButton.data(), stopButtons(vc).first());
        QCOMPARE(vc.defaultAppButton.data(), tiles(vc).first());
    }

    void defaultTileAndStopButtonPlacement() {
        MainViewController vc;
        vc.resize(520, 420);
        vc.show();
        QVERIFY(QTest::qWaitForWindowExposed(&vc));
        vc.populateAppButtons(candidates(3, 1), QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt")));
        // Laid out at once, without waiting for the event loop.
        QCOMPARE(vc.appStackView->width(), 3 * 88 + vc.trailingButton->sizeHint().width());

        AppIconButton* defaultTile = tiles(vc).at(1);
        QCOMPARE(vc.defaultAppButton.data(), defaultTile);
        QVERIFY(vc.stopTimerButton);
        QCOMPARE(vc.stopTimerButton->parentWidget(), &vc);
        QTRY_COMPARE(vc.stopTimerButton->pos(), defaultTile->mapTo(&vc, QPoint(-8, -8)));
        QCOMPARE(vc.stopTimerButton->size(), QSize(28, 28));

        // The row is centred in the band.
        // The row is centred on the band, and its tiles are not cut by it.
        const QRect row = vc.appStackView->geometry();
        const QRect band(vc.appContainer->mapTo(&vc, QPoint(0, 0)), vc.appContainer->size());
        QVERIFY(qAbs(row.center().x() - band.center().x()) <= 1);
        QVERIFY(qAbs(row.center().y() - band.center().y()) <= 1);
        QCOMPARE(row.height(), defaultTile->sizeHint().height());
        QCOMPARE(defaultTile->height(), defaultTile->sizeHint().height());

        // A wider window moves the row; the stop button follows the tile.
        vc.resize(800, 420);
        QTRY_COMPARE(vc.stopTimerButton->pos(), defaultTile->mapTo(&vc, QPoint(-8, -8)));
    }

    void stopButton_data() {
        QTest::addColumn<int>("defaultIndex");
        QTest::addColumn<bool>("skip");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("expectStopButton");
        QTest::newRow("no default candidate") << -1 << false << false << false;
        QTest::newRow("reminder: no countdown") << 0 << true << false << false;
        QTest::newRow("paused countdown keeps its look") << 0 << false << true << true;
    }
    void stopButton() {
        QFETCH(int, defaultIndex);
        QFETCH(bool, skip);
        QFETCH(bool, paused);
        QFETCH(bool, expectStopButton);
        MainViewController vc;
        vc.skipTimer = skip;
        if (paused)
            vc.pauseTimer();
        vc.appContainer->resize(500, 52);
        vc.populateAppButtons(candidates(3, defaultIndex),
                              QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt")));
        QCOMPARE(vc.defaultAppButton.data(),
                 defaultIndex < 0 ? nullptr : tiles(vc).at(defaultIndex));
        QCOMPARE(stopButtons(vc).size(), expectStopButton ? 1 : 0);
        if (expectStopButton)
            QCOMPARE(vc.stopTimerButton->isHidden(), paused);
    }

    void clickWithoutFilesDoesNothing() {
        MainViewController vc;
        vc.appContainer->resize(500, 52);
        vc.populateAppButtons(candidates(2, 0), QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt")));
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        QTest::mouseClick(tiles(vc).at(1), Qt::LeftButton);
        QVERIFY(!vc.isTimerPaused);
        QVERIFY(!vc.isLaunchInFlight());
        QCOMPARE(terminate.size(), 0);
    }
};

MARVOLINE_TEST_MAIN(ChooserRowTest)
#include "tst_chooser_row.moc"
