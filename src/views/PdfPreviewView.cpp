#include "views/PdfPreviewView.h"

#include "platform/FileContents.h"

#include <QFile>
#include <QPdfDocument>

namespace marvoline {

PdfPreviewView::PdfPreviewView(QWidget* parent)
    : QPdfView(parent) {
    setPageMode(QPdfView::PageMode::SinglePage);
    setZoomMode(QPdfView::ZoomMode::FitInView);
    setDocument(new QPdfDocument(this));
}

PdfPreviewView::~PdfPreviewView() {
    // A document that is closed reports it to its view; as a child of the
    // view it would do so while the view is half destroyed.
    QPdfDocument* doc = document();
    setDocument(nullptr);
    delete doc;
}

void PdfPreviewView::load(const QByteArray& path) {
    std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file)
        return;
    file->setParent(document());
    document()->load(file.release());
}

void PdfPreviewView::fitPage() {
    // Switching the mode makes the view lay the page out again.
    setZoomMode(QPdfView::ZoomMode::Custom);
    setZoomMode(QPdfView::ZoomMode::FitInView);
}

} // namespace marvoline
