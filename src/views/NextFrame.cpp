#include "views/NextFrame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace marvoline {

namespace {

// Waits on the window's update request, which Qt delivers once per frame.
class FrameWaiter final : public QObject {
public:
    FrameWaiter(QWidget* owner, QWindow* frames, std::function<void()> work)
        : QObject(owner)
        , m_frames(frames)
        , m_work(std::move(work)) {
        frames->installEventFilter(this);
        frames->requestUpdate();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_frames && event->type() == QEvent::UpdateRequest) {
            watched->removeEventFilter(this);
            deleteLater();
            std::exchange(m_work, nullptr)();
        }
        return false; // the window draws its frame as ever
    }

private:
    QPointer<QWindow> m_frames;
    std::function<void()> m_work;
};

} // namespace

void atNextFrame(QWidget* widget, std::function<void()> work) {
    if (QWindow* frames = widget->window()->windowHandle())
        new FrameWaiter(widget, frames, std::move(work));
    else
        QTimer::singleShot(0, widget, std::move(work));
}

void showInOneFrame(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
    if (QLayout* layout = window->layout())
        layout->activate();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
}

} // namespace marvoline
