#include "views/MenuButtonAccessible.h"

#include "views/MenuButton.h"

#include <QMenu>

namespace marvoline {

MenuButtonAccessible::MenuButtonAccessible(MenuButton* button)
    : QAccessibleWidget(button, QAccessible::ButtonMenu) {}

QAccessibleInterface* MenuButtonAccessible::create(const QString& className, QObject* object) {
    if (className != QLatin1String(MenuButton::staticMetaObject.className()))
        return nullptr;
    auto* button = qobject_cast<MenuButton*>(object);
    return button ? new MenuButtonAccessible(button) : nullptr;
}

MenuButton* MenuButtonAccessible::button() const {
    return static_cast<MenuButton*>(widget());
}

QString MenuButtonAccessible::text(QAccessible::Text t) const {
    const QString text = QAccessibleWidget::text(t);
    if (t != QAccessible::Name || !text.isEmpty())
        return text;
    // Unnamed: the button's own text, as for any button.
    return button()->text().remove(QLatin1Char('&'));
}

QAccessible::State MenuButtonAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    const QMenu* menu = button()->popUpMenu();
    const bool open = menu && menu->isVisible();
    state.hasPopup = true;
    state.expandable = true;
    state.expanded = open;
    state.collapsed = !open;
    state.pressed = button()->isDown();
    return state;
}

QStringList MenuButtonAccessible::actionNames() const {
    if (!button()->isEnabled())
        return QAccessibleWidget::actionNames();
    return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
}

void MenuButtonAccessible::doAction(const QString& actionName) {
    if (actionName == showMenuAction() || actionName == pressAction())
        button()->openMenu(true);
    else
        QAccessibleWidget::doAction(actionName);
}

QStringList MenuButtonAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == showMenuAction() || actionName == pressAction())
        return {QStringLiteral("Space"), QStringLiteral("Return")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

} // namespace marvoline
