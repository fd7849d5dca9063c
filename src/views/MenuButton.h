#pragma once

#include <QPointer>
#include <QToolButton>

class QMenu;

namespace marvoline {

// An option button that opens a menu under itself: on a left click, on Space,
// Return or Enter, and on assistive technology's press and show-menu actions
// (see MenuButtonAccessible). The menu pops up and the program goes on, where
// a tool button's own menu would run a nested event loop. Opened from the
// keyboard or by assistive technology, the menu has its first item that can
// be chosen selected, where arrows and a screen reader start.
class MenuButton : public QToolButton {
    Q_OBJECT

public:
    explicit MenuButton(QWidget* parent = nullptr);

    // The menu; not owned. A menu replaced is left as it is.
    QMenu* popUpMenu() const;
    void setPopUpMenu(QMenu* menu);
    // Pops the menu up under the button, unless it is open already.
    void openMenu(bool selectFirstItem);

    // Selects the menu's first item that is shown, enabled and no separator.
    static void selectFirstItem(QMenu* menu);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QMenu> m_menu;
};

} // namespace marvoline
