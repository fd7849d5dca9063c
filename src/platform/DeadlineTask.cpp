#include "platform/DeadlineTask.h"

#include "platform/Logging.h"

#include <QCoreApplication>
#include <QPointer>

#include <atomic>
#include <system_error>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace marvoline {

struct WorkerChannel::State {
    std::atomic<bool> cancelled{false};
    // Read and written on the owner's thread only.
    QPointer<DeadlineTask> owner;
};

namespace {

constexpr int kWorkerNiceness = 10;

// Answers are posted to this object rather than to the task itself: the task
// may be deleted on its own thread at any moment, while the relay lives as long
// as the process, so that a worker never posts to an object that is gone.
QObject* relay() {
    static QObject* const object = new QObject;
    return object;
}

} // namespace

bool WorkerChannel::isCancelled() const {
    return m_state->cancelled.load(std::memory_order_acquire);
}

void WorkerChannel::post(std::function<void()> fn) const {
    if (isCancelled())
        return;
    QMetaObject::invokeMethod(
        relay(),
        [state = m_state, fn = std::move(fn)] {
            if (!state->cancelled.load(std::memory_order_acquire) && state->owner)
                fn();
        },
        Qt::QueuedConnection);
}

DeadlineTask::DeadlineTask(std::chrono::milliseconds limit, QObject* parent)
    : QObject(parent)
    , m_limit(limit) {
    m_channel.m_state = std::make_shared<WorkerChannel::State>();
    m_channel.m_state->owner = this;
    // Made here, on the owner's thread, before any worker can post to it.
    if (relay()->thread() != thread())
        qCWarning(lcMarvoline) << "a deadline task lives on another thread than its answers";
    m_clock.setSingleShot(true);
    connect(&m_clock, &QTimer::timeout, this, &DeadlineTask::expire);
}

DeadlineTask::~DeadlineTask() {
    cancel();
}

void DeadlineTask::start(std::function<void(const WorkerChannel&)> work) {
    m_clock.start(m_limit);
    try {
        std::thread([channel = m_channel, work = std::move(work)] {
            // Behind the window's thread for the processor: a busy decoder
            // must not slow the countdown down. Linux gives each thread a
            // nice value of its own.
            ::setpriority(PRIO_PROCESS, ::gettid(), kWorkerNiceness);
            work(channel);
        }).detach();
    } catch (const std::system_error& error) {
        qCWarning(lcMarvoline) << "no thread for a preview:" << error.what();
        // Said after start() has returned, as a late answer would be.
        QTimer::singleShot(0, this, &DeadlineTask::expire);
    }
}

void DeadlineTask::settle() {
    m_settled = true;
    m_clock.stop();
}

void DeadlineTask::cancel() {
    m_clock.stop();
    m_channel.m_state->cancelled.store(true, std::memory_order_release);
}

bool DeadlineTask::isCancelled() const {
    return m_channel.isCancelled();
}

void DeadlineTask::expire() {
    if (m_settled || isCancelled())
        return;
    cancel();
    Q_EMIT timedOut();
}

} // namespace marvoline
