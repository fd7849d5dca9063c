// Which screen the chooser goes to and where on it: a pure choice over screen rectangles.

#include "support/TestMain.h"

#include "main/ScreenChoice.h"

#include <QCursor>
#include <QScreen>
#include <QWidget>

using namespace marvoline;
using namespace Qt::StringLiterals;

using Rects = QList<QRect>;

class TestScreenChoice final : public QObject {
    Q_OBJECT

public:
    explicit TestScreenChoice(test::XdgSandbox&) {}

private Q_SLOTS:
    void chooseScreen_data() {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<Rects>("screens");
        QTest::addColumn<int>("primary");
        QTest::addColumn<int>("expected"); // -1: no screen
        // 1920x1080 with 1280x1024 to its right; then with a gap and a third screen below.
        const Rects pair{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
        const Rects gaps{{0, 0, 1920, 1080}, {2020, 0, 1280, 1024}, {0, 1180, 800, 600}};
        QTest::newRow("inside second") << QPoint(2000, 500) << pair << 0 << 1;
        QTest::newRow("last pixel of first") << QPoint(1919, 1079) << pair << 1 << 0;
        QTest::newRow("right edge goes to neighbour") << QPoint(1920, 500) << pair << 0 << 1;
        QTest::newRow("bottom edge -> primary") << QPoint(100, 1080) << pair << 1 << 1;
        QTest::newRow("right edge of last -> primary") << QPoint(3200, 10) << pair << 0 << 0;
        QTest::newRow("gap -> primary") << QPoint(1950, 500) << gaps << 1 << 1;
        QTest::newRow("off all, no primary -> first") << QPoint(-5, -5) << gaps << -1 << 0;
        QTest::newRow("primary out of range -> first") << QPoint(-5, -5) << gaps << 7 << 0;
        QTest::newRow("no screens") << QPoint(0, 0) << Rects{} << -1 << -1;
        QTest::newRow("no screens, stale primary") << QPoint(0, 0) << Rects{} << 0 << -1;
        QTest::newRow("negative origin")
            << QPoint(-1, -1) << Rects{{0, 0, 100, 100}, {-100, -100, 100, 100}} << 0 << 1;
        QTest::newRow("empty geometry contains nothing")
            << QPoint(0, 0) << Rects{{0, 0, 0, 0}, {0, 0, 10, 10}} << -1 << 1;
    }

    void chooseScreen() {
        QFETCH(QPoint, pointer);
        QFETCH(Rects, screens);
        QFETCH(int, primary);
        QFETCH(int, expected);
        QCOMPARE(marvoline::chooseScreen(pointer, screens, primary).value_or(-1), expected);
    }

    void centeredTopLeft_data() {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("even") << QRect(0, 0, 1920, 1080) << QSize(520, 420) << QPoint(700, 330);
        QTest::newRow("odd area") << QRect(0, 0, 1001, 801) << QSize(520, 420) << QPoint(240, 190);
        QTest::newRow("odd window")
            << QRect(0, 0, 1000, 800) << QSize(521, 421) << QPoint(239, 189);
        QTest::newRow("negative origin, odd")
            << QRect(-1001, -801, 1001, 801) << QSize(520, 420) << QPoint(-761, -611);
        QTest::newRow("larger than area")
            << QRect(0, 0, 500, 300) << QSize(520, 421) << QPoint(-10, -61);
    }

    void centeredTopLeft() {
        QFETCH(QRect, available);
        QFETCH(QSize, window);
        QFETCH(QPoint, expected);
        QCOMPARE(marvoline::centeredTopLeft(available, window), expected);
    }

    // The window's inside as placed on a screen: the wanted size where it fits, never a frame
    // that leaves the available area, centred.
    void placedWindow_data() {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QMargins>("decoration");
        QTest::addColumn<QRect>("expected");
        const QMargins openbox(1, 20, 1, 5);
        QTest::newRow("fits, centred with its frame")
            << QRect(0, 0, 1280, 800) << QSize(722, 420) << openbox << QRect(279, 197, 722, 420);
        QTest::newRow("twice the scale: as large as the area allows")
            << QRect(0, 0, 640, 400) << QSize(722, 420) << QMargins(2, 30, 2, 6)
            << QRect(2, 30, 636, 364);
        QTest::newRow("too wide only")
            << QRect(0, 0, 700, 800) << QSize(722, 420) << openbox << QRect(1, 197, 698, 420);
        QTest::newRow("panel at the top, screen to the left")
            << QRect(-1280, 30, 1280, 994) << QSize(600, 400) << QMargins()
            << QRect(-940, 327, 600, 400);
        QTest::newRow("exactly the area")
            << QRect(10, 10, 604, 445) << QSize(602, 420) << openbox << QRect(11, 30, 602, 420);
        QTest::newRow("nothing wanted: one pixel")
            << QRect(0, 0, 100, 100) << QSize(0, -5) << QMargins() << QRect(49, 49, 1, 1);
    }
    void placedWindow() {
        QFETCH(QRect, available);
        QFETCH(QSize, wanted);
        QFETCH(QMargins, decoration);
        QFETCH(QRect, expected);
        const QRect inside = marvoline::placedWindow(available, wanted, decoration);
        QCOMPARE(inside, expected);
        QVERIFY(available.contains(inside.marginsAdded(decoration)));
    }

    void movesWithoutResizing() {
        QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        const QRect area = screen->availableGeometry();
        const QPoint centred = marvoline::centeredTopLeft(area, QSize(321, 123));
        QWidget window;
        window.resize(321, 123);
        // Under the pointer, and with the pointer off every screen (to the primary one).
        for (const QPoint pointer : {area.center(), area.topLeft() - QPoint(5000, 5000)}) {
            window.move(area.topLeft() + QPoint(3, 4));
            QCursor::setPos(screen, pointer);
            QCOMPARE(QCursor::pos(), pointer);
            centerOnScreenUnderPointer(&window);
            QCOMPARE(window.pos(), centred);
            QCOMPARE(window.size(), QSize(321, 123));
        }
    }
};

MARVOLINE_TEST_MAIN(TestScreenChoice)
#include "tst_screenchoice.moc"
