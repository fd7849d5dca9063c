#include "support/Responsiveness.h"

#include "support/Chooser.h"
#include "support/X11Desktop.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace marvoline::test {

StallMeter::StallMeter() {
    m_clock.start();
    m_timer.setInterval(10);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        const qint64 now = m_clock.elapsed();
        m_longest = qMax(m_longest, now - m_lastTick);
        m_lastTick = now;
    });
    m_timer.start();
}

qint64 StallMeter::longestStallMs() const {
    // A stall still under way counts too.
    return qMax(m_longest, m_clock.elapsed() - m_lastTick);
}

QString countdownEndsOnTime(const QUrl& file, int slackMs) {
    QElapsedTimer shown;
    shown.start();
    ChooserProcess chooser({file});
    if (chooser.window.isEmpty())
        return u"no chooser window appeared"_s;
    const int due = int(MainViewController::timerDuration * 1000) + slackMs;
    // Waited for well beyond, so that a late end is told apart from none.
    if (!chooser.endsWell(due + 20000))
        return u"the chooser did not end by itself"_s;
    if (shown.elapsed() > due)
        return u"the countdown ended %1 ms after the start, due by %2 ms"_s.arg(shown.elapsed())
            .arg(due);
    qDebug("the countdown ended %lld ms after the start", qint64(shown.elapsed()));
    return {};
}

QString clickIsAnsweredInTime(const QUrl& file, const QString& appName, int answerMs) {
    ChooserProcess chooser({file});
    if (chooser.window.isEmpty())
        return u"no chooser window appeared"_s;
    const std::optional<QPoint> button = chooser.locate([&](MainViewController& vc) -> QWidget* {
        for (AppIconButton* tile : tiles(vc))
            if (tile->title() == appName)
                return tile;
        return nullptr;
    });
    if (!button)
        return u"no button for %1"_s.arg(appName);
    QElapsedTimer clicked;
    clicked.start();
    chooser.click(*button);
    if (!chooser.endsWell(answerMs + 20000))
        return u"the click did not end the chooser"_s;
    if (clicked.elapsed() > answerMs)
        return u"the click was answered after %1 ms, due within %2 ms"_s.arg(clicked.elapsed())
            .arg(answerMs);
    qDebug("the click was answered after %lld ms", qint64(clicked.elapsed()));
    return {};
}

} // namespace marvoline::test
