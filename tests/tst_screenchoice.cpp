#include "support/TestMain.h"

#include "main/ScreenChoice.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

using namespace marvoline;

class TestScreenChoice : public QObject {
    Q_OBJECT

public:
    explicit TestScreenChoice(test::XdgSandbox&) {}

private Q_SLOTS:
    void chooseScreen_data();
    void chooseScreen();
    void centeredTopLeft_data();
    void centeredTopLeft();
    void centredWindowStaysCentredWhenTheAreaMoves();
    void wrapperMovesWithoutResizing();
};

namespace {

// Two screens side by side (1920x1080 and 1280x1024, the second one to the
// right), and a third one below the first with a gap of 100 pixels.
const QList<QRect> sideBySide = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
const QList<QRect> withGap = {QRect(0, 0, 1920, 1080), QRect(2020, 0, 1280, 1024),
                              QRect(0, 1180, 800, 600)};

} // namespace

void TestScreenChoice::chooseScreen_data() {
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<int>("primary");
    QTest::addColumn<int>("expected"); // -1: no screen

    QTest::newRow("inside first") << QPoint(100, 100) << sideBySide << 0 << 0;
    QTest::newRow("inside second") << QPoint(2000, 500) << sideBySide << 0 << 1;
    QTest::newRow("inside second, primary second") << QPoint(2000, 500) << sideBySide << 1 << 1;
    QTest::newRow("inside first, primary second") << QPoint(5, 5) << sideBySide << 1 << 0;
    QTest::newRow("top-left corner is inside") << QPoint(1920, 0) << sideBySide << 0 << 1;
    QTest::newRow("last pixel column of first") << QPoint(1919, 1079) << sideBySide << 1 << 0;
    // x = 1920 is the first screen's right edge: it belongs to the second.
    QTest::newRow("right edge goes to neighbour") << QPoint(1920, 500) << sideBySide << 0 << 1;
    QTest::newRow("bottom edge, nothing below -> primary")
        << QPoint(100, 1080) << sideBySide << 1 << 1;
    QTest::newRow("right edge of last screen -> primary")
        << QPoint(3200, 10) << sideBySide << 0 << 0;
    QTest::newRow("below the shorter second screen -> primary")
        << QPoint(2000, 1050) << sideBySide << 0 << 0;
    QTest::newRow("gap between screens -> primary") << QPoint(1950, 500) << withGap << 1 << 1;
    QTest::newRow("vertical gap -> primary") << QPoint(100, 1100) << withGap << 2 << 2;
    QTest::newRow("third screen") << QPoint(799, 1779) << withGap << 0 << 2;
    QTest::newRow("third screen bottom-right edge -> primary")
        << QPoint(800, 1780) << withGap << 1 << 1;
    QTest::newRow("off everything, no primary -> first") << QPoint(-5, -5) << withGap << -1 << 0;
    QTest::newRow("primary out of range -> first") << QPoint(-5, -5) << withGap << 7 << 0;
    QTest::newRow("no screens") << QPoint(0, 0) << QList<QRect>{} << -1 << -1;
    QTest::newRow("no screens, stale primary") << QPoint(0, 0) << QList<QRect>{} << 0 << -1;
    QTest::newRow("negative origin screen")
        << QPoint(-1, -1) << QList<QRect>{QRect(0, 0, 100, 100), QRect(-100, -100, 100, 100)} << 0
        << 1;
    QTest::newRow("overlapping screens: first in order wins")
        << QPoint(50, 50) << QList<QRect>{QRect(0, 0, 100, 100), QRect(0, 0, 100, 100)} << 1 << 0;
    QTest::newRow("empty geometry contains nothing")
        << QPoint(0, 0) << QList<QRect>{QRect(0, 0, 0, 0), QRect(0, 0, 10, 10)} << -1 << 1;
}

void TestScreenChoice::chooseScreen() {
    QFETCH(QPoint, pointer);
    QFETCH(QList<QRect>, screens);
    QFETCH(int, primary);
    QFETCH(int, expected);

    const std::optional<int> chosen = marvoline::chooseScreen(pointer, screens, primary);
    QCOMPARE(chosen.value_or(-1), expected);
}

void TestScreenChoice::centeredTopLeft_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("even") << QRect(0, 0, 1920, 1080) << QSize(520, 420) << QPoint(700, 330);
    QTest::newRow("work area below a panel")
        << QRect(0, 32, 1920, 1048) << QSize(520, 420) << QPoint(700, 346);
    QTest::newRow("second screen")
        << QRect(1920, 0, 1280, 1024) << QSize(520, 420) << QPoint(2300, 302);
    QTest::newRow("odd area") << QRect(0, 0, 1001, 801) << QSize(520, 420) << QPoint(240, 190);
    QTest::newRow("odd window") << QRect(0, 0, 1000, 800) << QSize(521, 421) << QPoint(239, 189);
    QTest::newRow("negative origin")
        << QRect(-1280, -200, 1280, 1024) << QSize(520, 420) << QPoint(-900, 102);
    QTest::newRow("negative origin, odd difference")
        << QRect(-1001, -801, 1001, 801) << QSize(520, 420) << QPoint(-761, -611);
    QTest::newRow("window larger than area")
        << QRect(0, 0, 500, 300) << QSize(520, 421) << QPoint(-10, -61);
    QTest::newRow("window fills area")
        << QRect(10, 20, 520, 420) << QSize(520, 420) << QPoint(10, 20);
}

void TestScreenChoice::centeredTopLeft() {
    QFETCH(QRect, available);
    QFETCH(QSize, window);
    QFETCH(QPoint, expected);

    const QPoint topLeft = marvoline::centeredTopLeft(available, window);
    QCOMPARE(topLeft, expected);
    // The margins left and right (top and bottom) differ by at most one pixel.
    const int left = topLeft.x() - available.left();
    const int right = available.left() + available.width() - (topLeft.x() + window.width());
    const int top = topLeft.y() - available.top();
    const int bottom = available.top() + available.height() - (topLeft.y() + window.height());
    QVERIFY(right - left == 0 || right - left == 1);
    QVERIFY(bottom - top == 0 || bottom - top == 1);
}

void TestScreenChoice::centredWindowStaysCentredWhenTheAreaMoves() {
    // Rounding must not depend on where the area lies.
    const QSize window(521, 301);
    const QRect base(0, 0, 1000, 700);
    const QPoint at = marvoline::centeredTopLeft(base, window);
    for (const QPoint shift : {QPoint(-3000, -1), QPoint(-1, -3001), QPoint(7, 9)}) {
        QCOMPARE(marvoline::centeredTopLeft(base.translated(shift), window), at + shift);
    }
}

void TestScreenChoice::wrapperMovesWithoutResizing() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    const QRect area = screen->availableGeometry();
    QCursor::setPos(screen, area.center());
    QCOMPARE(QCursor::pos(), area.center());

    QWidget window;
    window.resize(321, 123);
    window.move(area.topLeft() + QPoint(3, 4));
    centerOnScreenUnderPointer(&window);
    QCOMPARE(window.size(), QSize(321, 123));
    const int x = area.left() + int(std::floor((area.width() - 321) / 2.0));
    const int y = area.top() + int(std::floor((area.height() - 123) / 2.0));
    QCOMPARE(window.pos(), QPoint(x, y));

    // A pointer off every screen sends the window to the primary screen.
    window.move(area.topLeft());
    QCursor::setPos(screen, area.topLeft() - QPoint(5000, 5000));
    centerOnScreenUnderPointer(&window);
    QCOMPARE(window.pos(), QPoint(x, y));
    QCOMPARE(window.size(), QSize(321, 123));
}

MARVOLINE_TEST_MAIN(TestScreenChoice)
#include "tst_screenchoice.moc"
