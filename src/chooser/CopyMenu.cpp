// The copy pop-up: its menu for the file on show, and what a chosen item puts
// on the clipboard.
#include "main/MainViewController.h"

#include "chooser/CopyContent.h"
#include "platform/FilePaths.h"
#include "views/MenuButton.h"
#include "views/SymbolIcons.h"

#include <QAction>
#include <QClipboard>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPromise>
#include <QTextDocument>
#include <QThreadPool>
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
    // A later choice wins over a text or image still being read.
    const quint64 request = ++m_copyRequest;
    if (tag != CopyTag::Text && tag != CopyTag::Image) {
        // Only content that is ready replaces what the user had copied before.
        std::unique_ptr<QMimeData> content = copyContent(tag, fileURLs);
        if (content)
            QGuiApplication::clipboard()->setMimeData(content.release());
        return;
    }

    const QUrl file = fileURLs.first();
    if (isFolder(file))
        return;
    // The file is read away from the window's thread: it may be large, on a
    // slow disk, or not what its name says.
    const QByteArray path = localPath(file);
    auto promise = std::make_shared<QPromise<ReadForCopy>>();
    auto* watcher = new QFutureWatcher<ReadForCopy>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request, file] {
        watcher->deleteLater();
        if (request != m_copyRequest || watcher->future().resultCount() == 0)
            return;
        finishCopy(watcher->future().result(), file);
    });
    watcher->setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, path, tag] {
        promise->start();
        promise->addResult(tag == CopyTag::Text ? readTextForCopy(path) : readImageForCopy(path));
        promise->finish();
    });
}

void MainViewController::finishCopy(const ReadForCopy& read, const QUrl& file) {
    if (std::unique_ptr<QMimeData> content = copyContent(read)) {
        QGuiApplication::clipboard()->setMimeData(content.release());
        Q_EMIT copied();
        return;
    }
    const QString name = displayFileName(file);
    QString message;
    switch (read.failure) {
    case CopyFailure::TooLarge:
        //% "%1 is too large to copy as text."
        message = qtTrId("ui.copy.tooLarge").arg(name);
        break;
    case CopyFailure::NotText:
        //% "%1 holds no text that can be copied."
        message = qtTrId("ui.copy.notText").arg(name);
        break;
    case CopyFailure::NotImage:
        //% "%1 is not an image that can be copied."
        message = qtTrId("ui.copy.notImage").arg(name);
        break;
    case CopyFailure::Unreadable:
    case CopyFailure::None:
        //% "%1 could not be read."
        message = qtTrId("ui.copy.unreadable").arg(name);
        break;
    }
    //% "The clipboard keeps what it had."
    showOptionFailure(message, qtTrId("ui.copy.clipboardKept"));
}

void MainViewController::showOptionFailure(const QString& message, const QString& detail) {
    pauseTimer();
    messageLabel->setText(message);
    messageLabel->setToolTip(detail.isEmpty() ? QString() : Qt::convertFromPlainText(detail));
    messageLabel->setVisible(true);
}

} // namespace marvoline
