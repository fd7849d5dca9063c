#pragma once

#include <QPointF>
#include <QtGlobal>

namespace marvoline {

// An input event as the chooser's monitors saw it: the same event reaches
// them through more than one object, and is acted on once.
struct InputStamp {
    int type = 0;
    quint64 timestamp = 0;
    QPointF point;
    int key = 0;
    bool operator==(const InputStamp& other) const;
};

} // namespace marvoline
