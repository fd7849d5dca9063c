// The floor for any Qt Widgets chooser: one empty window, shown, painted once.
#include "ProbeExit.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    ProbeExit probe([&window](QObject* watched, QEvent* event) {
        return watched == &window && event->type() == QEvent::Paint;
    });
    app.installEventFilter(&probe);
    window.resize(520, 420);
    window.show();
    return QApplication::exec();
}
