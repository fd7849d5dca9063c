// The countdown: tick arithmetic, pausing for good, restarting for new files,
// the display flow's flags, and which window changes stop it.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "views/AppIconButton.h"
#include "views/StopTimerButton.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

using namespace marvoline;

namespace {

QList<AppCandidate> oneDefault() {
    AppCandidate c;
    c.url = QUrl::fromLocalFile(QStringLiteral("/apps/viewer.desktop"));
    c.name = QStringLiteral("Viewer");
    c.isDefault = true;
    return {c};
}

} // namespace

class CountdownTest : public QObject {
    Q_OBJECT

public:
    explicit CountdownTest(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private Q_SLOTS:
    void fillGrowsByTwoHundredthsAndEndsOnTick51() {
        MainViewController vc;
        vc.appContainer->resize(500, 52);
        vc.populateAppButtons(oneDefault(), {});
        // No application: the end terminates without opening anything.
        vc.startTimer({}, std::nullopt);
        vc.timer->stop(); // the test drives the ticks
        vc.timer->start(3600 * 1000);
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);

        for (int i = 1; i <= 50; ++i) {
            vc.tick();
            QVERIFY2(std::abs(vc.defaultAppButton->fillProgress() - std::min(1.0, 0.02 * i)) < 1e-9,
                     qPrintable(QString::number(i)));
            QCOMPARE(terminate.size(), 0);
        }
        // Fifty subtractions of 0.1 from 5.0 leave a tiny positive remainder.
        QVERIFY(vc.timerRemaining > 0);
        QVERIFY(vc.timer);
        vc.tick();
        QCOMPARE(terminate.size(), 1);
        QVERIFY(!vc.timer);
        // Further ticks do nothing.
        vc.tick();
        QCOMPARE(terminate.size(), 1);
    }

    void pausedCountdownNeverEnds() {
        MainViewController vc;
        vc.appContainer->resize(500, 52);
        vc.populateAppButtons(oneDefault(), {});
        vc.startTimer({}, std::nullopt);
        QSignalSpy terminate(&vc, &MainViewController::terminateRequested);
        for (int i = 0; i < 20; ++i)
            vc.tick();
        QVERIFY(vc.defaultAppButton->fillProgress() > 0.3);
        QVERIFY(!vc.stopTimerButton->isHidden());

        vc.pauseTimer();
        QCOMPARE(vc.defaultAppButton->fillProgress(), 0.0);
        QVERIFY(vc.stopTimerButton->isHidden());
        const double remaining = vc.timerRemaining;
        for (int i = 0; i < 200; ++i)
            vc.tick();
        QCOMPARE(vc.timerRemaining, remaining);
        QCOMPARE(terminate.size(), 0);
        // The real timer keeps firing and still changes nothing.
        QTest::qWait(350);
        QCOMPARE(terminate.size(), 0);
        QCOMPARE(vc.defaultAppButton->fillProgress(), 0.0);
    }

    void stopButtonClickPauses() {
        MainViewController vc;
        vc.appContainer->resize(500, 52);
        vc.populateAppButtons(oneDefault(), {});
        vc.startTimer({}, std::nullopt);
        vc.tick();
        vc.stopTimerButton->show();
        QTest::mouseClick(vc.stopTimerButton, Qt::LeftButton);
        QVERIFY(vc.isTimerPaused);
        QVERIFY(vc.stopTimerButton->isHidden());
    }

    void newFilesStartAFreshCountdown() {
        MainViewController vc;
        vc.appContainer->resize(500, 52);
        vc.populateAppButtons(oneDefault(), {});
        vc.startTimer({}, std::nullopt);
        QTimer* first = vc.timer;
        for (int i = 0; i < 10; ++i)
            vc.tick();
        vc.pauseTimer();

        vc.startTimer({}, std::nullopt);
        QVERIFY(!vc.isTimerPaused);
        QCOMPARE(vc.timerRemaining, MainViewController::timerDuration);
        QVERIFY(vc.timer && vc.timer != first);
        QVERIFY(vc.timer->isActive());
        QVERIFY(!vc.stopTimerButton->isHidden());
        QCOMPARE(vc.defaultAppButton->fillProgress(), 0.0);
    }

    void displayFlowFlags_data() {
        QTest::addColumn<bool>("openAsContext");
        QTest::addColumn<bool>("skip");
        QTest::addColumn<bool>("timerSectionVisible");
        QTest::addColumn<bool>("checkBoxVisible");
        QTest::newRow("context, countdown") << true << false << true << true;
        QTest::newRow("context, reminder") << true << true << false << false;
        QTest::newRow("default handler, countdown") << false << false << true << false;
        QTest::newRow("default handler, reminder") << false << true << false << false;
    }
    void displayFlowFlags() {
        QFETCH(bool, openAsContext);
        QFETCH(bool, skip);
        QFETCH(bool, timerSectionVisible);
        QFETCH(bool, checkBoxVisible);

        MainViewController vc;
        const QUrl file = m_sandbox.writeFile(QStringLiteral("flags.unknownext"), "data");
        vc.configure({file}, openAsContext, skip);
        vc.showFiles();
        QCOMPARE(vc.timerSectionStack->isVisibleTo(&vc), timerSectionVisible);
        QCOMPARE(vc.setDefaultButton->isVisibleTo(&vc), checkBoxVisible);
        QCOMPARE(vc.timer != nullptr && vc.timer->isActive(), !skip);
        QCOMPARE(vc.stopTimerButton.isNull(), true); // no candidate here: no default tile
    }

    void reminderStopsARunningCountdown() {
        MainViewController vc;
        const QUrl file = m_sandbox.writeFile(QStringLiteral("flags2.unknownext"), "data");
        vc.configure({file}, true, false);
        vc.showFiles();
        QVERIFY(vc.timer && vc.timer->isActive());
        vc.configure({file}, true, true);
        vc.showFiles();
        QVERIFY(!vc.timer || !vc.timer->isActive());
    }

    void emptyFilesChangeNothing() {
        MainViewController vc;
        vc.configure({}, true, false);
        vc.showFiles();
        QVERIFY(!vc.timer);
        QVERIFY(vc.allAppCandidates.isEmpty());
    }

    void windowChangesAfterSettlingPause() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* vc = new MainViewController;
        layout->addWidget(vc);
        window.resize(520, 420);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        vc->startTimer({}, std::nullopt);

        // Placement right after mapping belongs to the window manager.
        window.move(window.pos() + QPoint(5, 5));
        QCoreApplication::processEvents();
        QVERIFY(!vc->isTimerPaused);

        // Once the window is quiet, a move is the user's.
        QTest::qWait(900);
        QVERIFY(!vc->isTimerPaused);
        window.move(window.pos() + QPoint(40, 0));
        QTRY_VERIFY(vc->isTimerPaused);
    }

    void resizeAfterSettlingPausesAndRebuilds() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* vc = new MainViewController;
        layout->addWidget(vc);
        window.resize(520, 420);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(900);

        QList<AppCandidate> apps;
        for (int i = 0; i < 10; ++i) {
            AppCandidate c;
            c.url = QUrl::fromLocalFile(QStringLiteral("/apps/a%1.desktop").arg(i));
            c.name = QString::number(i);
            c.isDefault = i == 0;
            apps.append(c);
        }
        vc->fileURLs = {QUrl::fromLocalFile(QStringLiteral("/tmp/f.txt"))};
        vc->populateAppButtons(apps, vc->fileURLs.first());
        vc->startTimer({}, std::nullopt);
        const qsizetype before = vc->overflowApps.size();

        window.resize(1000, 420);
        QTRY_VERIFY(vc->isTimerPaused);
        QTRY_VERIFY(vc->overflowApps.size() < before);
    }

    void toolTipsAndMenusDoNotPause() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* vc = new MainViewController;
        layout->addWidget(vc);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(900);
        vc->startTimer({}, std::nullopt);

        QWidget popup(nullptr, Qt::ToolTip);
        popup.show();
        popup.move(10, 10);
        popup.resize(50, 20);
        QCoreApplication::processEvents();
        QVERIFY(!vc->isTimerPaused);
    }

private:
    test::XdgSandbox& m_sandbox;
};

MARVOLINE_TEST_MAIN(CountdownTest)
#include "tst_chooser_countdown.moc"
