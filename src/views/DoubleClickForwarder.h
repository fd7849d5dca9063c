#pragma once

#include <QObject>

class QWidget;

namespace marvoline {

// Hands double clicks on the widgets of a preview on to the widget that holds
// the preview. Text views and the like take a double click for themselves
// (they select a word) and would keep it from the preview pane, where a double
// click opens the files. Other mouse and wheel events are left alone.
class DoubleClickForwarder : public QObject {
    Q_OBJECT

public:
    // Watches the root and every widget inside it, also those added later. The
    // forwarder belongs to the root.
    static void install(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DoubleClickForwarder(QObject* parent);
    void watch(QObject* object);
};

} // namespace marvoline
