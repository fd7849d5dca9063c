#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace marvoline {

// Tells when a process that is not this one's child has ended, such as one
// started detached: through a pidfd where the kernel has them, otherwise by
// looking every half second. exited() is emitted once, from the event loop;
// for a process that has already gone it follows at once.
class ProcessExitWatch : public QObject {
    Q_OBJECT

public:
    explicit ProcessExitWatch(qint64 pid, QObject* parent = nullptr);
    ~ProcessExitWatch() override;

    qint64 pid() const { return m_pid; }

Q_SIGNALS:
    void exited();

private:
    void poll();
    void report();

    qint64 m_pid;
    int m_pidfd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_poll;
    bool m_reported = false;
};

} // namespace marvoline
