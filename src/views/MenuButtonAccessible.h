#pragma once

#include <QAccessibleWidget>

namespace marvoline {

class MenuButton;

// What assistive technology sees of a MenuButton: a menu button that has a
// pop-up, whose press and show-menu actions open the menu with its first
// item selected. Qt's own interface for a tool button whose menu opens at
// once has a show-menu action that does nothing.
class MenuButtonAccessible : public QAccessibleWidget {
public:
    explicit MenuButtonAccessible(MenuButton* button);

    // The factory for QAccessible::installFactory.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    MenuButton* button() const;
};

} // namespace marvoline
