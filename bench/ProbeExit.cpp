#include "ProbeExit.h"

#include <QCoreApplication>
#include <QEvent>

ProbeExit::ProbeExit(Predicate predicate, QObject* parent)
    : QObject(parent)
    , m_predicate(std::move(predicate)) {}

bool ProbeExit::eventFilter(QObject* watched, QEvent* event) {
    if (m_fired) {
        // The event loop's last pass runs whatever else is due by then, and a
        // frame takes about as long as the window's frame timer: left alone,
        // the next frame (and the work waiting for it) would be drawn before
        // the exit when the machine is a little slower, and not when it is a
        // little faster. No frame and no timer after the moment measured.
        return event->type() == QEvent::UpdateRequest || event->type() == QEvent::Timer;
    }
    if (m_predicate(watched, event)) {
        m_fired = true;
        // Leave after the event has been handled (the paint done, the tick run),
        // by a posted call: a timer would be held back with the others.
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }
    return false;
}
