// Keyboard use of the chooser: the tiles come first in the tab order, the
// default tile has the focus when files are shown and keeps it across rebuilds
// of the row, and Escape leaves like the close button.

#include "main/MainViewController.h"

#include "views/AppIconButton.h"
#include "views/StopTimerButton.h"

#include <QLayout>
#include <QShortcut>
#include <QToolButton>

namespace marvoline {

void MainViewController::installKeyboardShortcuts() {
    // Whatever control has the focus: nothing is opened.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &MainViewController::onCloseTapped);
}

MainViewController::RowFocus MainViewController::rowFocus() const {
    RowFocus focus;
    const QWidget* focused = window()->focusWidget();
    if (!focused)
        return focus;
    if (const auto* tile = qobject_cast<const AppIconButton*>(focused);
        tile && tile->parentWidget() == appStackView)
        focus.tileApp = tile->appURL;
    focus.trailingButton = focused == trailingButton;
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

void MainViewController::updateTabOrder() {
    // The row in its order, then the stop button and the options row as laid out.
    QList<QWidget*> chain;
    for (AppIconButton* tile : appTiles())
        chain.append(tile);
    if (trailingButton)
        chain.append(trailingButton);
    if (stopTimerButton)
        chain.append(stopTimerButton);
    const QLayout* options = optionsStack->layout();
    for (int i = 0; i < options->count(); ++i) {
        QWidget* control = options->itemAt(i)->widget();
        if (control && (control->focusPolicy() & Qt::TabFocus))
            chain.append(control);
    }
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

} // namespace marvoline
