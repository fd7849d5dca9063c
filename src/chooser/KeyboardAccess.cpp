// Keyboard use of the chooser: the row of tiles is one Tab stop (the arrows
// move along it, onto the trailing button too), then come the options, then a
// text preview, which the arrows scroll; the default tile has the focus when
// files are shown and keeps it across rebuilds of the row; Return and Enter
// press the focused option as Space does; a menu opened from the keyboard
// starts at its first item; Escape leaves like the close button.

#include "main/MainViewController.h"

#include "views/AppIconButton.h"
#include "views/GeneralPreviewView.h"
#include "views/MenuButton.h"
#include "views/StopTimerButton.h"

#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QShortcut>
#include <QToolButton>

#include <algorithm>

namespace marvoline {

namespace {

// Return or Enter alone (Enter is the keypad's), pressed, not held.
bool isActivationKey(const QKeyEvent* key) {
    const bool plain = key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
    return plain && !key->isAutoRepeat() &&
           (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
}

// The control an arrow key, Home or End moves to from the one at `index` of
// the row as laid out; the same one at either end.
qsizetype rowTarget(qsizetype index, qsizetype count, int key, bool rightToLeft) {
    switch (key) {
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return count - 1;
    case Qt::Key_Left:
        return std::clamp<qsizetype>(index + (rightToLeft ? 1 : -1), 0, count - 1);
    case Qt::Key_Right:
        return std::clamp<qsizetype>(index + (rightToLeft ? -1 : 1), 0, count - 1);
    default:
        return index;
    }
}

} // namespace

void MainViewController::installKeyboardShortcuts() {
    // Whatever control has the focus: nothing is opened.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &MainViewController::onCloseTapped);
}

RowFocus MainViewController::rowFocus() const {
    RowFocus focus;
    const QWidget* focused = window()->focusWidget();
    if (!focused)
        return focus;
    if (const auto* tile = qobject_cast<const AppIconButton*>(focused);
        tile && tile->parentWidget() == appStackView)
        focus.tileApp = tile->appURL;
    focus.trailingButton = focused == trailingButton;
    focus.eachTile = eachTile && focused == eachTile;
    focus.stopButton = stopTimerButton && focused == stopTimerButton;
    return focus;
}

void MainViewController::restoreRowFocus(const RowFocus& focus) {
    QWidget* target = nullptr;
    if (focus.tileApp) {
        for (AppIconButton* tile : appTiles()) {
            if (tile->appURL == focus.tileApp)
                target = tile;
        }
        // Its tile went into the overflow menu, which the trailing button opens.
        if (!target)
            target = trailingButton;
    } else if (focus.stopButton && stopTimerButton && !stopTimerButton->isStopped()) {
        target = stopTimerButton;
    } else if (focus.eachTile && eachTile) {
        target = eachTile;
    } else if (focus.trailingButton) {
        target = trailingButton;
    }
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

void MainViewController::focusDefaultTile() {
    QWidget* target = defaultAppButton;
    if (!target) {
        const QList<AppIconButton*> tiles = appTiles();
        target = tiles.isEmpty() ? static_cast<QWidget*>(trailingButton) : tiles.first();
    }
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

QList<QWidget*> MainViewController::rowControls() const {
    QList<QWidget*> controls;
    for (AppIconButton* tile : appTiles())
        controls.append(tile);
    if (trailingButton)
        controls.append(trailingButton);
    return controls;
}

void MainViewController::setRowTabStop(QWidget* control) {
    // The others are reached with the arrows, or a click.
    for (QWidget* other : rowControls())
        other->setFocusPolicy(other == control ? Qt::StrongFocus : Qt::ClickFocus);
}

bool MainViewController::handleKeyboardAccess(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    const bool inRow = widget == trailingButton || (widget->parentWidget() == appStackView &&
                                                    qobject_cast<AppIconButton*>(widget));
    switch (event->type()) {
    case QEvent::FocusIn:
        if (inRow)
            setRowTabStop(widget);
        return false;
    case QEvent::Show:
        // Whatever opened it, a menu that a key opened starts at its first item.
        if (auto* menu = qobject_cast<QMenu*>(widget);
            menu && !menu->activeAction() && m_lastInput && m_lastInput->type == QEvent::KeyPress)
            MenuButton::selectFirstItem(menu);
        return false;
    case QEvent::KeyPress:
        break;
    default:
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (inRow && key->modifiers() == Qt::NoModifier &&
        (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right || key->key() == Qt::Key_Home ||
         key->key() == Qt::Key_End)) {
        const QList<QWidget*> row = rowControls();
        const qsizetype target = rowTarget(row.indexOf(widget), row.size(), key->key(),
                                           appStackView->layoutDirection() == Qt::RightToLeft);
        row.at(target)->setFocus(Qt::TabFocusReason);
        return true;
    }
    // Later and Copy open their menus themselves.
    const bool option = widget == ruleButton || widget == shareButton || widget == closeButton ||
                        widget == trailingButton;
    if (option && isActivationKey(key)) {
        static_cast<QToolButton*>(widget)->click();
        return true;
    }
    return false;
}

void MainViewController::updateTabOrder() {
    // The row in its order, then the stop button and the options row as laid out.
    QList<QWidget*> chain = rowControls();
    if (QWidget* focused = window()->focusWidget(); focused && chain.contains(focused))
        setRowTabStop(focused);
    else if (defaultAppButton)
        setRowTabStop(defaultAppButton);
    else if (!chain.isEmpty())
        setRowTabStop(chain.first());
    if (stopTimerButton)
        chain.append(stopTimerButton);
    const QLayout* options = optionsStack->layout();
    for (int i = 0; i < options->count(); ++i) {
        QWidget* control = options->itemAt(i)->widget();
        if (control && (control->focusPolicy() & Qt::TabFocus))
            chain.append(control);
    }
    // The text comes after the first frame, and with it this call again.
    if (const auto* general = qobject_cast<GeneralPreviewView*>(previewView)) {
        if (QWidget* text = general->content(); text && (text->focusPolicy() & Qt::TabFocus))
            chain.append(text);
    }
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

} // namespace marvoline
