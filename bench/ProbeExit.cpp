#include "ProbeExit.h"

#include <QCoreApplication>
#include <QTimer>

ProbeExit::ProbeExit(Predicate predicate, QObject* parent)
    : QObject(parent)
    , m_predicate(std::move(predicate)) {}

bool ProbeExit::eventFilter(QObject* watched, QEvent* event) {
    if (!m_fired && m_predicate(watched, event)) {
        m_fired = true;
        // Leave after the event has been handled (the paint done, the tick run).
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }
    return false;
}
