// The preview pane: which view shows the first file (folder summary, PDF
// document or the general preview) and how it sits in the pane. Every view
// reads and decodes its file off the window's thread and fits what it shows
// into the pane whenever it paints, so nothing here waits for the file.
#include "main/MainViewController.h"

#include "platform/FilePaths.h"
#include "views/DoubleClickForwarder.h"
#include "views/FolderPreviewView.h"
#include "views/GeneralPreviewView.h"
#include "views/PdfPreviewView.h"

#include <QVBoxLayout>

#include <sys/stat.h>

namespace marvoline {

namespace {

bool isDirectory(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString lowercaseExtension(const QUrl& url) {
    const QString name = displayFileName(url);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

} // namespace

// A file whose type cannot be read is never taken for a PDF, whatever its name.
bool MainViewController::isPdfDocument(const QUrl& url, const std::optional<QString>& type) {
    return type && (*type == QLatin1String("application/pdf") ||
                    lowercaseExtension(url) == QLatin1String("pdf"));
}

void MainViewController::setupPreview(const QUrl& url) {
    delete std::exchange(previewView, nullptr);
    if (!url.isLocalFile())
        return;
    const QByteArray path = localPath(url);
    if (!pathExists(path))
        return;

    QWidget* view = nullptr;
    if (isDirectory(path)) {
        auto* folder = new FolderPreviewView;
        folder->configure(url);
        view = folder;
    } else if (const std::optional<QString> type = contentTypeIdentifier(url);
               isPdfDocument(url, type)) {
        auto* pdf = new PdfPreviewView;
        pdf->configure(url, type);
        view = pdf;
    } else {
        auto* general = new GeneralPreviewView;
        connect(general, &GeneralPreviewView::ready, this, &MainViewController::updateTabOrder);
        general->configure(url, type);
        view = general;
    }

    // The pane's size is the window's business: a preview fills whatever room
    // the pane has and asks for none.
    if (!previewContainer->layout()) {
        auto* layout = new QVBoxLayout(previewContainer);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    view->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    DoubleClickForwarder::install(view);
    previewContainer->layout()->addWidget(view);
    previewView = view;
}

} // namespace marvoline
