#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

namespace marvoline::test {

// The longest time this process's event loop went without running a short
// repeating timer, from construction on: how long the window's thread was
// kept from answering the user.
class StallMeter : public QObject {
public:
    StallMeter();
    qint64 longestStallMs() const;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    qint64 m_longest = 0;
};

// A chooser program on a file that is slow or hostile to preview must still
// answer. Each returns an empty string when it did, otherwise what went wrong.
//
// Left alone, the chooser's countdown ends and the program with it no later
// than slackMs after the countdown's length, counted from the program's start.
QString countdownEndsOnTime(const QUrl& file, int slackMs);
// A click on the application button titled appName ends the chooser (it opens
// the file with the application) within answerMs.
QString clickIsAnsweredInTime(const QUrl& file, const QString& appName, int answerMs);

} // namespace marvoline::test
