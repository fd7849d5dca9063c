// The countdown: tick arithmetic, pausing for good, restarting for new files,
// the display flow's flags, and which window changes stop it.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "views/StopTimerButton.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTimer>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

class TestCountdown final : public QObject {
    Q_OBJECT

public:
    explicit TestCountdown(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private:
    XdgSandbox& m_sandbox;
    std::unique_ptr<MainViewController> m_vc;

private Q_SLOTS:
    // A chooser with one default tile whose countdown has no application to open: its end
    // terminates without opening anything.
    void init() {
        m_vc = std::make_unique<MainViewController>();
        m_vc->appContainer->resize(500, 52);
        m_vc->populateAppButtons(candidates(1), {});
        m_vc->startTimer({}, std::nullopt);
        m_vc->timer->setInterval(3600 * 1000); // the test drives the ticks
    }

    void fillGrowsByTwoHundredthsAndEndsOnTick51() {
        QSignalSpy terminate(m_vc.get(), &MainViewController::terminateRequested);
        for (int i = 1; i <= 50; ++i) {
            m_vc->tick();
            QVERIFY2(qAbs(m_vc->defaultAppButton->fillProgress() - std::min(1.0, 0.02 * i)) < 1e-9,
                     qPrintable(QString::number(i)));
        }
        // Fifty subtractions of 0.1 from 5.0 leave a tiny positive remainder.
        QCOMPARE(terminate.size(), 0);
        m_vc->tick();
        QCOMPARE(terminate.size(), 1);
        m_vc->tick(); // further ticks do nothing
        QCOMPARE(terminate.size(), 1);
    }

    void stopButtonPausesForGoodUntilNewFiles() {
        QSignalSpy terminate(m_vc.get(), &MainViewController::terminateRequested);
        for (int i = 0; i < 20; ++i)
            m_vc->tick();
        QVERIFY(!m_vc->stopTimerButton->isHidden());
        m_vc->stopTimerButton->show();
        QTest::mouseClick(m_vc->stopTimerButton, Qt::LeftButton);
        QVERIFY(m_vc->isTimerPaused);
        QVERIFY(m_vc->stopTimerButton->isHidden());
        QCOMPARE(m_vc->defaultAppButton->fillProgress(), 0.0);
        for (int i = 0; i < 200; ++i)
            m_vc->tick();
        QCOMPARE(terminate.size(), 0);
        QCOMPARE(m_vc->defaultAppButton->fillProgress(), 0.0);

        // New files count down afresh, from the start.
        m_vc->startTimer({}, std::nullopt);
        QVERIFY(!m_vc->isTimerPaused && m_vc->timer && m_vc->timer->isActive());
        QVERIFY(!m_vc->stopTimerButton->isHidden());
        QCOMPARE(m_vc->timerRemaining, MainViewController::timerDuration);
        m_vc->tick();
        QCOMPARE(m_vc->defaultAppButton->fillProgress(), 0.02);
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
        // Shown first with a countdown; a reminder's answer then stops it.
        const QUrl file = m_sandbox.writeFile(u"flags.unknownext"_s, "data");
        const auto vc = showing({file});
        QVERIFY(vc->timer && vc->timer->isActive());
        vc->configure({file}, openAsContext, skip);
        vc->showFiles();
        QCOMPARE(vc->timerSectionStack->isVisibleTo(vc.get()), !skip);
        QCOMPARE(vc->setDefaultButton->isVisibleTo(vc.get()), checkBoxVisible);
        QCOMPARE(vc->timer && vc->timer->isActive(), !skip);

        const auto empty = showing({}); // no files: nothing starts
        QVERIFY(!empty->timer && empty->allAppCandidates.isEmpty());
    }

    void windowChangesPauseOnceSettled() {
        ChooserWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        w.vc->startTimer({}, std::nullopt);
        // Placement right after mapping belongs to the window manager.
        w.window.move(w.window.pos() + QPoint(5, 5));
        QCoreApplication::processEvents();
        QVERIFY(!w.vc->isTimerPaused);
        QVERIFY(w.waitUntilSettled());
        QVERIFY(!w.vc->isTimerPaused);

        // Tool tips and menus are not the chooser's window.
        QWidget popup(nullptr, Qt::ToolTip);
        popup.show();
        popup.setGeometry(10, 10, 50, 20);
        QCoreApplication::processEvents();
        QVERIFY(!w.vc->isTimerPaused);

        // Once the window is quiet, a move is the user's.
        w.window.move(w.window.pos() + QPoint(40, 0));
        QTRY_VERIFY(w.vc->isTimerPaused);
    }

    void resizeRebuildsTheRow_data() {
        QTest::addColumn<bool>("settled");
        QTest::newRow("the user's resize: also pauses") << true;
        QTest::newRow("the window manager's first placement") << false;
    }
    void resizeRebuildsTheRow() {
        QFETCH(bool, settled);
        ChooserWindow w;
        QVERIFY(settled ? w.waitUntilSettled() : QTest::qWaitForWindowExposed(&w.window));
        w.vc->fileURLs = {QUrl::fromLocalFile(u"/tmp/f.txt"_s)};
        w.vc->populateAppButtons(candidates(10), w.vc->fileURLs.first());
        w.vc->startTimer({}, std::nullopt);
        const qsizetype before = w.vc->overflowApps.size();
        QVERIFY(before > 0);
        w.window.resize(1000, 420);
        QTRY_VERIFY(w.vc->overflowApps.size() < before);
        QCOMPARE(w.vc->isTimerPaused, settled);
    }
};

MARVOLINE_TEST_MAIN(TestCountdown)
#include "tst_chooser_countdown.moc"
