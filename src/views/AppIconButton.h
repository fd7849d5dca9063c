#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QLabel;
class QPainter;

namespace marvoline {

// One tile of the chooser's application row: a 32 x 32 icon, the application's
// name under it and, when known, its version in smaller grey text. It draws
// nothing of its own except for the default application, whose tile gets a
// rounded grey background and, while the auto-open countdown runs, a
// translucent accent-coloured fill that grows from the top with the progress.
// A left mouse press runs `onClick`. It is a real button for the keyboard and
// assistive technologies: Space, Enter and an accessibility "press" run
// `onClick` too, Left/Right/Home/End move the focus among the tiles of its
// row, and a focused tile shows a ring in the palette's highlight colour.
class AppIconButton : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int kWidth = 96;
    static constexpr int kHeight = 56;
    static constexpr int kIconSize = 32;

    explicit AppIconButton(QWidget* parent = nullptr);

    // The application the tile stands for; read by the row's click action.
    std::optional<QUrl> appURL;
    // Run on a left mouse press inside the tile. It may delete the tile.
    std::function<void()> onClick;

    // Shows the icon (nothing when absent or null) scaled to fit 32 x 32, the
    // title elided in the middle, the version (the label is hidden exactly
    // when it is absent), sets the tool tip "title version" and marks the
    // tile as the default application's or not.
    void configure(const std::optional<QIcon>& icon, const QString& title,
                   const std::optional<QString>& version, bool isDefault);

    // Countdown fill, clamped to 0..1 (NaN counts as 0).
    void setFillProgress(double progress);
    // Whether the countdown will open this tile's application; said in the
    // tile's accessible description.
    void setAutoOpening(bool autoOpening);

    double fillProgress() const { return m_fillProgress; }
    bool isDefaultApp() const { return m_isDefaultApp; }
    QString title() const { return m_title; }

    QLabel* imageView() const { return m_imageView; }
    QLabel* label() const { return m_label; }
    QLabel* versionLabel() const { return m_versionLabel; }

    // The rounded background of the default tile, in the tile's coordinates.
    QRectF backgroundRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void paintFocusRing(QPainter& painter) const;
    void runOnClick();
    void focusNeighbour(int key);
    void updateFonts();
    void updateColors();
    void updateAccessibleTexts();
    void layoutSubviews();
    void updateTexts();
    void updateIcon();
    int contentHeight() const;

    QLabel* m_imageView;
    QLabel* m_label;
    QLabel* m_versionLabel;
    bool m_isDefaultApp = false;
    bool m_autoOpening = false;
    double m_fillProgress = 0.0;

    std::optional<QIcon> m_icon;
    QString m_title;
    std::optional<QString> m_version;
};

} // namespace marvoline
