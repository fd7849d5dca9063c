#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace marvoline {

// How long a preview may take to be read and decoded before the file card
// takes its place.
inline constexpr std::chrono::milliseconds kPreviewTimeLimit{2000};

// The worker's side of a DeadlineTask: whether its answer is still wanted, and
// the way to hand answers to the window's thread.
class WorkerChannel {
public:
    // True once the task's owner gave up on it (time limit, a newer file, the
    // view gone): the worker should stop as soon as it can.
    bool isCancelled() const;
    // Runs fn on the thread of the task's owner, unless the task has been
    // cancelled or deleted by the time it gets there. fn is dropped unrun then.
    void post(std::function<void()> fn) const;

private:
    friend class DeadlineTask;
    struct State;
    std::shared_ptr<State> m_state;
};

// Work for a thread of its own, never the window's, whose first answer must
// come within a time limit: decoding a file that may be hostile. A decoder that
// never returns keeps its thread; nothing ever joins it, and the process ends
// without waiting for it (see main.cpp). A thread of its own rather than a
// pool's, so that a runaway decoder takes no worker from anybody else and no
// pool waits for it when the application object goes.
class DeadlineTask : public QObject {
    Q_OBJECT

public:
    explicit DeadlineTask(std::chrono::milliseconds limit, QObject* parent = nullptr);
    // Cancels the task: nothing it posts afterwards runs.
    ~DeadlineTask() override;

    // Starts work on a new thread and the clock with it. Called once.
    void start(std::function<void(const WorkerChannel&)> work);
    // The answer has come in time: the limit no longer applies, and what the
    // worker posts from now on is still taken (the frames of an animation).
    void settle();
    // Gives up on the work; what it posts afterwards is dropped.
    void cancel();

    bool isSettled() const { return m_settled; }
    bool isCancelled() const;

Q_SIGNALS:
    // The limit passed without an answer, or no thread could be started. The
    // task is cancelled by then.
    void timedOut();

private:
    void expire();

    std::chrono::milliseconds m_limit;
    QTimer m_clock;
    WorkerChannel m_channel;
    bool m_settled = false;
};

} // namespace marvoline
