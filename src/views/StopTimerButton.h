#pragma once

#include <QAbstractButton>
#include <QColor>

#include <functional>

class QLabel;

namespace marvoline {

// The small red round button with a white stop square that sits on the corner
// of the default application's tile while the auto-open countdown runs. A left
// mouse press runs `onClick`; `setStopped(true)` hides it. Space, Enter and an
// assistive technology's press action run `onClick` as well; focused, it
// shows a ring in the palette's highlight colour around the disc.
class StopTimerButton : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int kSize = 28;
    static constexpr int kSymbolSize = 12;
    // The system red of the stop button.
    static constexpr QRgb kDiscColor = 0xFFFF3B30;

    explicit StopTimerButton(QWidget* parent = nullptr);

    // Run on a left mouse press. It may delete the button.
    std::function<void()> onClick;

    // Records the state and hides the symbol and the button itself when
    // stopped, shows both otherwise.
    void setStopped(bool stopped);
    bool isStopped() const { return m_isStopped; }

    QLabel* imageView() const { return m_imageView; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void runOnClick();

    QLabel* m_imageView;
    bool m_isStopped = false;
};

} // namespace marvoline
