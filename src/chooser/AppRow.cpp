#include "main/MainViewController.h"

#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "views/AppIconButton.h"
#include "views/ImageResize.h"
#include "views/StopTimerButton.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace marvoline {

namespace {

constexpr int tileStep = MainViewController::appButtonWidth + MainViewController::appButtonSpacing;
// The main stack's left and right margins together.
constexpr int rowMargins = 24;
// Between the line that says no application opens the file and "Other…".
constexpr int noApplicationGap = 8;

// Detaches a widget from the row at once and deletes it later, so that a tile
// may rebuild the row from inside its own click handler.
void discard(QWidget* widget) {
    widget->hide();
    widget->setParent(nullptr);
    widget->deleteLater();
}

} // namespace

int MainViewController::visibleAppCount(double width) {
    return std::max(1, int(std::floor((width - addButtonWidth) / tileStep)));
}

int MainViewController::tilesThatFit(double width, int total) {
    int n = visibleAppCount(width);
    if (n < total)
        n = std::max(1, int(std::floor((width - overflowButtonWidth) / tileStep)));
    return std::min(n, total);
}

double MainViewController::rowWidth() const {
    // Before the window is first shown its layouts have not run: the band will
    // be as wide as the window's inside less the margins.
    const QWidget* w = window();
    if (w != this && !w->isVisible() && w->width() > rowMargins)
        return w->width() - rowMargins;
    // Before the band is laid out: the controller's width less the margins, or a guess.
    double width = appContainer->width();
    if (width <= 0)
        width = this->width() - 24;
    return width > 0 ? width : 400;
}

void MainViewController::refillRowForWidth() {
    // As many tiles as before: the row stays as it is, and with it the tile
    // the keyboard or a screen reader is on. The Tab order is laid again all
    // the same: the first fill made it before the window held all of its
    // controls, and the row's tile must come first once it is shown.
    const auto total = int(allAppCandidates.size());
    if (total == 0 || fileURLs.isEmpty())
        return;
    if (tilesThatFit(applicationsWidth(), total) == total - overflowApps.size()) {
        updateTabOrder();
        return;
    }
    populateAppButtons(allAppCandidates, fileURLs.first());
}

void MainViewController::populateAppButtons(const QList<AppCandidate>& apps, const QUrl& fileURL) {
    // The actions read the files on show when they run; fileURL names the type
    // when no application opens it.
    allAppCandidates = apps;
    const RowFocus focus = rowFocus();

    QLayout* row = appStackView->layout();
    while (QLayoutItem* item = row->takeAt(0)) {
        if (QWidget* w = item->widget())
            discard(w);
        delete item;
    }
    trailingButton = nullptr;
    eachTile = nullptr;

    const int n = tilesThatFit(applicationsWidth(), int(apps.size()));
    overflowApps = apps.mid(n);

    defaultAppButton = nullptr;
    if (stopTimerButton) {
        discard(stopTimerButton);
        stopTimerButton = nullptr;
    }

    for (int i = 0; i < n; ++i) {
        const AppCandidate& candidate = apps.at(i);
        auto* tile = new AppIconButton;
        tile->appURL = candidate.url;
        std::optional<QIcon> icon;
        if (candidate.icon)
            icon = QIcon(marvoline::resize(*candidate.icon, QSize(32, 32)));
        tile->configure(icon, candidate.name, candidate.version, candidate.isDefault);
        QPointer<MainViewController> self(this);
        QPointer<AppIconButton> weakTile(tile);
        tile->onClick = [self, weakTile] {
            if (self && weakTile)
                self->onTileClicked(weakTile);
        };
        row->addWidget(tile);
        tile->show(); // at once: a layout would show it only on the next event pass
        if (candidate.isDefault && !defaultAppButton) {
            defaultAppButton = tile;
            tile->installEventFilter(this);
            tile->setAutoOpening(timer && timer->isActive() && !isTimerPaused);
            if (!skipTimer) {
                auto* stop = new StopTimerButton(this);
                //% "Stop opening with %1 automatically"
                stop->setToolTip(qtTrId("ui.a11y.stopTimer.toolTip").arg(candidate.name));
                stop->onClick = [self] {
                    if (self)
                        self->pauseTimer();
                };
                stop->setFixedSize(28, 28);
                stopTimerButton = stop;
                stop->setStopped(isTimerPaused);
                placeStopTimerButton();
            }
        }
    }

    if (showsMixedTypes())
        addEachTile();

    if (!overflowApps.isEmpty()) {
        trailingButton = new QToolButton;
        trailingButton->setText(QStringLiteral("⋯"));
        //% "More applications"
        trailingButton->setAccessibleName(qtTrId("ui.a11y.moreApps"));
        trailingButton->setToolTip(trailingButton->accessibleName());
        QToolButton* button = trailingButton;
        connect(button, &QToolButton::clicked, this, [this, button] { onOverflowTapped(button); });
    } else {
        //% "Other…"
        trailingButton = new QToolButton;
        trailingButton->setText(qtTrId("ui.addApp"));
        connect(trailingButton, &QToolButton::clicked, this, &MainViewController::onAddAppTapped);
    }
    // Compact, to fit the room the row keeps for it (50 or 80 px).
    trailingButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    trailingButton->setMaximumWidth(overflowApps.isEmpty() ? addButtonWidth : overflowButtonWidth);
    trailingButton->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    if (apps.isEmpty())
        addNoApplicationLine(fileURL);
    row->addWidget(trailingButton);
    trailingButton->show();
    fitBandToTiles();
    layoutAppRow();
    updateTabOrder();
    restoreRowFocus(focus);
}

void MainViewController::addNoApplicationLine(const QUrl& fileURL) {
    // The type named as the set-default check box names it.
    std::optional<QString> description;
    if (const std::optional<QString> type = contentTypeIdentifier(fileURL))
        description = platform::registry().contentTypeDescription(*type);
    //% "Other…"
    const QString other = qtTrId("ui.addApp");
    QString text;
    if (description && !description->isEmpty()) {
        //% "No application opens this %1. Choose one with %2"
        text = qtTrId("ui.noApps").arg(*description, other);
    } else {
        //% "No application opens files of this type. Choose one with %1"
        text = qtTrId("ui.noApps.anyType").arg(other);
    }
    auto* line = new QLabel;
    line->setObjectName(QStringLiteral("noApplicationLine"));
    line->setTextFormat(Qt::PlainText);
    // Clear of the button beside it, which the row's spacing overlaps.
    line->setContentsMargins(0, 0, noApplicationGap - appButtonSpacing, 0);
    // One line in the band: shortened, whole in its tool tip, where it is too long.
    const int room = int(rowWidth()) - trailingButton->sizeHint().width() - noApplicationGap;
    const QString shown = line->fontMetrics().elidedText(text, Qt::ElideRight, std::max(0, room));
    line->setText(shown);
    if (shown != text) {
        line->setToolTip(text);
        line->setAccessibleName(text);
    }
    appStackView->layout()->addWidget(line);
    line->show();
}

void MainViewController::layoutAppRow() {
    // Centred on the band, never wider than it.
    const QSize hint = appStackView->sizeHint();
    const QRect band(appContainer->mapTo(this, QPoint(0, 0)), appContainer->size());
    const int w = std::min(hint.width(), band.width());
    const int h = hint.height();
    appStackView->setGeometry(band.x() + (band.width() - w) / 2, band.y() + (band.height() - h) / 2,
                              w, h);
    appStackView->raise();
    if (stopTimerButton)
        stopTimerButton->raise();
    placeStopTimerButton();
}

void MainViewController::placeStopTimerButton() {
    if (!stopTimerButton || !defaultAppButton)
        return;
    // Pinned 8 px left of and above the default tile's corner, over the row.
    stopTimerButton->move(defaultAppButton->mapTo(this, QPoint(-8, -8)));
    stopTimerButton->raise();
}

void MainViewController::onTileClicked(AppIconButton* tile) {
    if (!tile->appURL || fileURLs.isEmpty())
        return;
    openFilesAndQuit(*tile->appURL);
}

QMenu* MainViewController::onOverflowTapped(QToolButton* sender, bool popUp) {
    pauseTimer();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const AppCandidate& candidate : std::as_const(overflowApps)) {
        const QString title = candidate.version ? candidate.name + QStringLiteral(" (") +
                                                      *candidate.version + QLatin1Char(')')
                                                : candidate.name;
        QAction* item = menu->addAction(title);
        item->setData(candidate.url);
        if (candidate.icon)
            item->setIcon(QIcon(marvoline::resize(*candidate.icon, QSize(16, 16))));
        connect(item, &QAction::triggered, this, [this, item] { onOverflowAppSelected(item); });
    }
    if (showsMixedTypes()) {
        menu->addSeparator();
        //% "Each with its own default"
        QAction* each = menu->addAction(qtTrId("ui.eachDefault"));
        connect(each, &QAction::triggered, this, &MainViewController::openEachWithItsDefault);
    }
    menu->addSeparator();
    //% "Other…"
    QAction* add = menu->addAction(qtTrId("ui.addApp"));
    connect(add, &QAction::triggered, this, &MainViewController::onAddAppTapped);
    if (popUp && sender)
        menu->popup(sender->mapToGlobal(QPoint(0, sender->height())));
    return menu;
}

void MainViewController::onOverflowAppSelected(QAction* item) {
    if (!item)
        return;
    const QVariant value = item->data();
    if (!value.canConvert<QUrl>() || value.value<QUrl>().isEmpty() || fileURLs.isEmpty())
        return;
    openFilesAndQuit(value.value<QUrl>());
}

} // namespace marvoline
