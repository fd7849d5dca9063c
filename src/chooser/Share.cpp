// The share button: a menu of the sharing services found on this machine,
// each handing over every file on show.
#include "main/MainViewController.h"

#include "platform/Platform.h"
#include "platform/ShareServices.h"

#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QToolButton>

namespace marvoline {

namespace {

QString shareTitle(const ShareTarget& target) {
    switch (target.kind) {
    case ShareTarget::Kind::Email:
        //% "E-mail"
        return qtTrId("ui.share.email");
    case ShareTarget::Kind::KdeConnect:
        //% "%1 (KDE Connect)"
        return qtTrId("ui.share.kdeConnect").arg(target.deviceName);
    case ShareTarget::Kind::Bluetooth:
        //% "Bluetooth…"
        return qtTrId("ui.share.bluetooth");
    }
    return {};
}

QIcon shareIcon(const ShareTarget& target) {
    switch (target.kind) {
    case ShareTarget::Kind::Email:
        return QIcon::fromTheme(QStringLiteral("mail-message-new"));
    case ShareTarget::Kind::KdeConnect:
        return QIcon::fromTheme(QStringLiteral("kdeconnect"),
                                QIcon::fromTheme(QStringLiteral("smartphone")));
    case ShareTarget::Kind::Bluetooth:
        return QIcon::fromTheme(QStringLiteral("bluetooth"));
    }
    return {};
}

} // namespace

void MainViewController::onShareTapped(QToolButton* sender) {
    pauseTimer();
    if (fileURLs.isEmpty())
        return;
    QPointer<QToolButton> button(sender);
    platform::shareServices().findTargets(this, [this, button](const QList<ShareTarget>& targets) {
        showShareMenu(button, targets);
    });
}

void MainViewController::showShareMenu(QToolButton* sender, const QList<ShareTarget>& targets) {
    if (m_shareMenu)
        m_shareMenu->close();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("shareMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    m_shareMenu = menu;
    for (const ShareTarget& target : targets) {
        QAction* item = menu->addAction(shareIcon(target), shareTitle(target));
        const QString title = shareTitle(target);
        connect(item, &QAction::triggered, this, [this, target, title] {
            pauseTimer();
            if (fileURLs.isEmpty())
                return;
            // As a failed launch is said: the chooser stays, with the reason.
            platform::shareServices().share(
                this, target, fileURLs, [this, title](const QString& error) {
                    //% "Sharing with %1 did not work."
                    showOptionFailure(qtTrId("ui.share.failed").arg(title), error);
                });
        });
    }
    if (targets.isEmpty()) {
        //% "Nothing to share with"
        menu->addAction(qtTrId("ui.share.none"))->setEnabled(false);
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuWillOpen(menu); });
    menu->popup(sender ? sender->mapToGlobal(QPoint(0, sender->height())) : QCursor::pos());
}

} // namespace marvoline
