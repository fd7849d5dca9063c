// The copy pop-up: its menu for the file on show, and what a chosen item puts
// on the clipboard.
#include "main/MainViewController.h"

#include "chooser/CopyContent.h"
#include "views/MenuButton.h"
#include "views/SymbolIcons.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>

namespace marvoline {

void MainViewController::buildCopyMenu(MenuButton* popUp) {
    auto* menu = new QMenu(popUp);
    menu->setObjectName(QStringLiteral("copyMenu"));
    // The header names the menu; choosing it does nothing, so it is shown
    // as a title that cannot be chosen.
    //% "Copy"
    QAction* header = menu->addAction(symbolIcon(QStringLiteral("doc.on.doc")), qtTrId("ui.copy"));
    header->setData(int(CopyTag::Header));
    header->setEnabled(false);
    auto addItem = [menu](const QString& title, CopyTag tag) {
        menu->addAction(title)->setData(int(tag));
    };

    if (!fileURLs.isEmpty()) {
        const QUrl& first = fileURLs.first();
        if (isFolder(first)) {
            //% "Folder Name"
            addItem(qtTrId("ui.copy.foldername"), CopyTag::Name);
            //% "Folder"
            addItem(qtTrId("ui.copy.folder"), CopyTag::File);
            //% "Folder Path"
            addItem(qtTrId("ui.copy.folderpath"), CopyTag::Path);
        } else {
            //% "File Name"
            addItem(qtTrId("ui.copy.filename"), CopyTag::Name);
            //% "File"
            addItem(qtTrId("ui.copy.file"), CopyTag::File);
            //% "File Path"
            addItem(qtTrId("ui.copy.filepath"), CopyTag::Path);
            const CopyKinds kinds = copyKinds(first);
            if (kinds.isText) {
                //% "Text"
                addItem(qtTrId("ui.copy.text"), CopyTag::Text);
            }
            if (kinds.isImage) {
                //% "Image"
                addItem(qtTrId("ui.copy.image"), CopyTag::Image);
            }
        }
    }

    // Every new menu pauses the countdown when it opens.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuWillOpen(menu); });
    connect(menu, &QMenu::triggered, this, &MainViewController::onCopyItemSelected);
    QMenu* previous = popUp->popUpMenu();
    popUp->setPopUpMenu(menu);
    if (previous)
        previous->deleteLater(); // it may be the menu that is open right now
}

void MainViewController::onCopyItemSelected(QAction* item) {
    pauseTimer();
    if (fileURLs.isEmpty() || !item)
        return;
    const auto tag = CopyTag(item->data().toInt());
    if (tag == CopyTag::Header)
        return;
    // Only content that is ready replaces what the user had copied before.
    std::unique_ptr<QMimeData> content = copyContent(tag, fileURLs);
    if (content)
        QGuiApplication::clipboard()->setMimeData(content.release());
}

} // namespace marvoline
