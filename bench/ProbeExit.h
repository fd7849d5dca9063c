#pragma once

#include <QObject>

#include <functional>

// Ends the process with status 0 at the first event that the predicate accepts,
// so that a whole-process timer (hyperfine, /usr/bin/time) measures from start
// to that moment plus a short exit. Nothing the program would do at a later
// frame or timer is done: it is filtered out from that moment on.
class ProbeExit : public QObject {
public:
    using Predicate = std::function<bool(QObject* watched, QEvent* event)>;
    explicit ProbeExit(Predicate predicate, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Predicate m_predicate;
    bool m_fired = false;
};
