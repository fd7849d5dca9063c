#include "platform/ProcessExitWatch.h"

#include <QByteArray>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/syscall.h>
#include <unistd.h>

namespace marvoline {

namespace {

constexpr int pollIntervalMs = 500;

int openPidfd(qint64 pid) {
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
#else
    Q_UNUSED(pid)
    errno = ENOSYS;
    return -1;
#endif
}

// A process that has ended but was not reaped yet counts as ended: a detached
// process's parent may be slow to reap it.
bool processRuns(qint64 pid) {
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true; // no /proc: kill() said it is there
    const QByteArray line = stat.readAll();
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName < 0 || line.mid(afterName + 2, 1) != "Z";
}

} // namespace

ProcessExitWatch::ProcessExitWatch(qint64 pid, QObject* parent)
    : QObject(parent)
    , m_pid(pid) {
    m_pidfd = openPidfd(pid);
    if (m_pidfd >= 0) {
        // A pidfd becomes readable when the process ends, zombie or not.
        m_notifier = std::make_unique<QSocketNotifier>(m_pidfd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &ProcessExitWatch::report);
        return;
    }
    if (errno == ESRCH) {
        QTimer::singleShot(0, this, &ProcessExitWatch::report);
        return;
    }
    connect(&m_poll, &QTimer::timeout, this, &ProcessExitWatch::poll);
    m_poll.start(pollIntervalMs);
    QTimer::singleShot(0, this, &ProcessExitWatch::poll);
}

ProcessExitWatch::~ProcessExitWatch() {
    m_notifier.reset();
    if (m_pidfd >= 0)
        ::close(m_pidfd);
}

void ProcessExitWatch::poll() {
    if (!processRuns(m_pid))
        report();
}

void ProcessExitWatch::report() {
    if (m_reported)
        return;
    m_reported = true;
    m_poll.stop();
    if (m_notifier)
        m_notifier->setEnabled(false);
    Q_EMIT exited();
}

} // namespace marvoline
