#include "views/MenuButton.h"

#include "views/MenuButtonAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace marvoline {

MenuButton::MenuButton(QWidget* parent)
    : QToolButton(parent) {
    static const bool accessible = [] {
        QAccessible::installFactory(&MenuButtonAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    // A click made by a program (click(), animateClick()) opens it as the
    // keyboard does; the mouse opens it on press.
    connect(this, &QToolButton::clicked, this, [this] { openMenu(true); });
}

QMenu* MenuButton::popUpMenu() const {
    return m_menu;
}

void MenuButton::setPopUpMenu(QMenu* menu) {
    if (m_menu) {
        m_menu->removeEventFilter(this);
        disconnect(m_menu, nullptr, this, nullptr);
    }
    m_menu = menu;
    if (!menu)
        return;
    menu->installEventFilter(this);
    connect(menu, &QMenu::aboutToHide, this, [this] { setDown(false); });
}

void MenuButton::openMenu(bool selectFirst) {
    if (!m_menu || m_menu->isVisible() || !isEnabled())
        return;
    setDown(true);
    // Below the button; the menu moves itself where the screen has no room.
    const QPoint corner =
        layoutDirection() == Qt::RightToLeft ? rect().bottomRight() : rect().bottomLeft();
    m_menu->popup(mapToGlobal(corner + QPoint(0, 1)));
    if (!m_menu->isVisible()) {
        setDown(false);
        return;
    }
    if (selectFirst)
        selectFirstItem(m_menu);
}

void MenuButton::selectFirstItem(QMenu* menu) {
    for (QAction* item : menu->actions()) {
        if (item->isVisible() && item->isEnabled() && !item->isSeparator()) {
            menu->setActiveAction(item);
            return;
        }
    }
}

void MenuButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QToolButton::mousePressEvent(event);
        return;
    }
    event->accept();
    openMenu(false);
}

void MenuButton::keyPressEvent(QKeyEvent* event) {
    const bool keypad = event->modifiers() == Qt::KeypadModifier;
    if ((event->modifiers() == Qt::NoModifier || keypad) && !event->isAutoRepeat()) {
        switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Select:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            openMenu(true);
            return;
        default:
            break;
        }
    }
    QToolButton::keyPressEvent(event);
}

bool MenuButton::eventFilter(QObject* watched, QEvent* event) {
    // A press on this button closes the open menu; it must not open it again
    // when the menu hands the press on.
    if (watched == m_menu && event->type() == QEvent::MouseButtonPress) {
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        m_menu->setAttribute(Qt::WA_NoMouseReplay, rect().contains(mapFromGlobal(at)));
    }
    return QToolButton::eventFilter(watched, event);
}

} // namespace marvoline
