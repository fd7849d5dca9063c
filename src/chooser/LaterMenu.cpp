// The Later control: its menu of delays and the custom delay dialog.
#include "chooser/LaterReminder.h"
#include "main/MainViewController.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "views/MenuButton.h"
#include "views/SymbolIcons.h"

#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>
#include <utility>

namespace marvoline {

namespace {

// The default text of the custom delay field is fixed, not translated.
const QString customDelayDefault = QStringLiteral("30");
constexpr QSize customFieldSize(120, 24);

} // namespace

std::optional<qint64> parseCustomDelayMinutes(const QString& text) {
    int i = 0;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    if (i == text.size())
        return std::nullopt;
    const bool negative = text.at(0) == QLatin1Char('-');
    // The seconds must fit in 64 bits; only positive counts are accepted.
    constexpr qint64 limit = std::numeric_limits<qint64>::max() / 60;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // Only ASCII digits: QChar::isDigit would take other scripts' digits.
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (negative || value <= 0)
        return std::nullopt;
    return value;
}

void MainViewController::buildLaterMenu(MenuButton* popUp) {
    const std::pair<QString, int> items[] = {
        //% "In 10 seconds"
        {qtTrId("ui.later.10sec"), laterTenSecondsTag},
        //% "In 5 minutes"
        {qtTrId("ui.later.5min"), 5},
        //% "In 10 minutes"
        {qtTrId("ui.later.10min"), 10},
        //% "In 15 minutes"
        {qtTrId("ui.later.15min"), 15},
        //% "In 30 minutes"
        {qtTrId("ui.later.30min"), 30},
        //% "In 1 hour"
        {qtTrId("ui.later.60min"), 60},
        //% "In 2 hours"
        {qtTrId("ui.later.120min"), 120},
        //% "Tomorrow at 9:00"
        {qtTrId("ui.later.tomorrow9"), laterTomorrowTag},
        //% "Choose a time…"
        {qtTrId("ui.later.chooseTimer"), laterCustomTag},
    };
    // The button itself is the menu's title.
    //% "Later"
    popUp->setText(qtTrId("ui.later"));
    popUp->setIcon(symbolIcon(QStringLiteral("clock")));

    QMenu* old = popUp->popUpMenu();
    auto* menu = new QMenu(popUp);
    for (const auto& [title, tag] : items) {
        QAction* action = menu->addAction(title);
        action->setData(tag);
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuWillOpen(menu); });
    connect(menu, &QMenu::triggered, this, &MainViewController::onLaterItemSelected);
    popUp->setPopUpMenu(menu);
    delete old;
}

void MainViewController::onLaterItemSelected(QAction* item) {
    pauseTimer();
    if (fileURLs.isEmpty() || !item)
        return;
    const int tag = item->data().toInt();
    if (tag == laterTitleTag)
        return;
    if (tag == laterCustomTag) {
        showCustomTimerPicker();
        return;
    }
    remindLaterAndLeave(laterTrigger(tag, QDateTime::currentDateTime()));
}

void MainViewController::showCustomTimerPicker() {
    // Window-modal over the chooser and answered through its signals: a nested
    // event loop would let files arrive underneath it.
    auto* dialog = new QDialog(window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("customTimerPicker"));
    dialog->setWindowModality(Qt::WindowModal);
    //% "Remind me later"
    dialog->setWindowTitle(qtTrId("ui.later.customTitle"));
    auto* layout = new QVBoxLayout(dialog);
    //% "Remind me later"
    auto* title = new QLabel(qtTrId("ui.later.customTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    //% "In how many minutes?"
    layout->addWidget(new QLabel(qtTrId("ui.later.customMessage")));
    auto* field = new QLineEdit(customDelayDefault);
    field->setPlaceholderText(customDelayDefault);
    field->setFixedSize(customFieldSize);
    layout->addWidget(field);
    auto* buttons = new QDialogButtonBox;
    //% "Schedule"
    QPushButton* ok = buttons->addButton(qtTrId("ui.later.customOK"), QDialogButtonBox::AcceptRole);
    //% "Cancel"
    buttons->addButton(qtTrId("ui.later.customCancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);

    // The files on show when the user confirms are the ones reminded of.
    connect(dialog, &QDialog::accepted, this, [this, field] {
        if (const std::optional<qint64> minutes = parseCustomDelayMinutes(field->text()))
            remindLaterAndLeave(laterTriggerForMinutes(*minutes));
    });
    dialog->open();
}

} // namespace marvoline
