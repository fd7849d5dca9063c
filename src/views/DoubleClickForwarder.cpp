#include "views/DoubleClickForwarder.h"

#include <QChildEvent>
#include <QEvent>
#include <QWidget>

namespace marvoline {

DoubleClickForwarder::DoubleClickForwarder(QObject* parent)
    : QObject(parent) {}

void DoubleClickForwarder::install(QWidget* root) {
    auto* forwarder = new DoubleClickForwarder(root);
    forwarder->watch(root);
}

void DoubleClickForwarder::watch(QObject* object) {
    if (!object->isWidgetType())
        return;
    object->installEventFilter(this);
    for (QObject* child : object->children())
        watch(child);
}

bool DoubleClickForwarder::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        // Kept from the widget but left unaccepted: QApplication then offers
        // it to the parent, and so on up to the pane.
        event->ignore();
        return true;
    case QEvent::ChildAdded:
        watch(static_cast<QChildEvent*>(event)->child());
        return false;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace marvoline
