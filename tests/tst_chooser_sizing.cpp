// Window sizing: the zoom frame, the maximize request that applies it, and the
// minimum width that keeps room for the options row and never shrinks.
#include "support/TestMain.h"

#include "main/MainViewController.h"

#include <QCheckBox>
#include <QVBoxLayout>

using namespace marvoline;

namespace {

QList<AppCandidate> candidates(int count) {
    QList<AppCandidate> apps;
    for (int i = 0; i < count; ++i) {
        AppCandidate c;
        c.url = QUrl::fromLocalFile(QStringLiteral("/apps/app%1.desktop").arg(i));
        c.name = QString::number(i);
        c.isDefault = i == 0;
        apps.append(c);
    }
    return apps;
}

} // namespace

class TestChooserSizing final : public QObject {
    Q_OBJECT

public:
    explicit TestChooserSizing(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private Q_SLOTS:
    void zoomFrame_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QRect>("current");
        QTest::addColumn<QRect>("defaultFrame");
        QTest::addColumn<QRect>("visible");
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 25, 1440, 850);
        QTest::newRow("3 candidates: never narrower")
            << 3 << QRect(100, 200, 480, 300) << screen << screen << QRect(100, 200, 480, 300);
        QTest::newRow("6 candidates: 88 each plus 112")
            << 6 << QRect(100, 200, 480, 300) << screen << screen << QRect(100, 200, 640, 300);
        QTest::newRow("30 candidates: capped at the default frame")
            << 30 << QRect(100, 200, 480, 300) << screen << screen << QRect(0, 200, 1440, 300);
        QTest::newRow("near the right edge: moved left")
            << 6 << QRect(1200, 200, 480, 300) << screen << screen << QRect(800, 200, 640, 300);
        QTest::newRow("wider than the visible area: left edges meet")
            << 30 << QRect(1200, 200, 480, 300) << QRect(0, 25, 2000, 850) << screen
            << QRect(0, 200, 2000, 300);
        QTest::newRow("second screen on the right")
            << 6 << QRect(3300, 10, 500, 400) << QRect(1920, 0, 1920, 1080)
            << QRect(1920, 0, 1920, 1080) << QRect(3200, 10, 640, 400);
        QTest::newRow("already wider than the default frame")
            << 3 << QRect(0, 200, 1600, 300) << screen << screen << QRect(0, 200, 1440, 300);
        QTest::newRow("no candidates: the default frame")
            << 0 << QRect(100, 200, 480, 300) << screen << screen << screen;
    }
    void zoomFrame() {
        QFETCH(int, count);
        QFETCH(QRect, current);
        QFETCH(QRect, defaultFrame);
        QFETCH(QRect, visible);
        QFETCH(QRect, expected);
        QCOMPARE(MainViewController::zoomFrame(count, current, defaultFrame, visible), expected);
    }

    void maximizeRequestZoomsInstead() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* vc = new MainViewController;
        layout->addWidget(vc);
        window.setGeometry(40, 60, 480, 380);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        vc->fileURLs = {QUrl::fromLocalFile(QStringLiteral("/tmp/zoom.txt"))};
        vc->populateAppButtons(candidates(6), vc->fileURLs.first());
        QVERIFY(!vc->overflowApps.isEmpty());
        // Until the window counts as placed, the chooser leaves its size alone.
        QTest::qWait(MainViewController::windowSettleMs + 300);

        const QRect before = window.geometry();
        window.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(!window.isMaximized());
        QTRY_COMPARE(window.width(), 640);
        QCOMPARE(window.geometry().height(), before.height());
        QCOMPARE(window.geometry().y(), before.y());
        QCOMPARE(window.geometry().x(), before.x());
        // The wider window has room for every tile.
        QTRY_VERIFY(vc->overflowApps.isEmpty());
    }

    void minimumWidthFollowsTheOptionsRowAndNeverShrinks() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* vc = new MainViewController;
        layout->addWidget(vc);
        window.setMinimumWidth(100);
        window.resize(150, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QUrl file = m_sandbox.writeFile(QStringLiteral("width.unknownext"), "x");

        vc->configure({file}, false, false); // no check box
        vc->showFiles();
        const int withoutBox = vc->optionsStack->sizeHint().width() + 24;
        QTRY_COMPARE(window.minimumWidth(), withoutBox);
        QTRY_COMPARE(window.width(), withoutBox);

        vc->configure({file}, true, false); // the check box shows
        vc->showFiles();
        QTRY_VERIFY(vc->setDefaultButton->isVisible());
        const int withBox = vc->optionsStack->sizeHint().width() + 24;
        QVERIFY(withBox > withoutBox);
        QTRY_COMPARE(window.minimumWidth(), withBox);
        QTRY_COMPARE(window.width(), withBox);

        vc->configure({file}, false, false); // hidden again: nothing shrinks
        vc->showFiles();
        QTRY_VERIFY(!vc->setDefaultButton->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(window.minimumWidth(), withBox);
        QCOMPARE(window.width(), withBox);
    }

private:
    test::XdgSandbox& m_sandbox;
};

MARVOLINE_TEST_MAIN(TestChooserSizing)
#include "tst_chooser_sizing.moc"
