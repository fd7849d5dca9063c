#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace marvoline {

// One page of a PDF document, drawn.
struct PdfPage {
    QImage image; // null when the document or the page could not be read
    int pageCount = 0;
};

// Reads the PDF document at the raw path and draws the page (counted from 0)
// as large as fits into box, on white. The PDF library is used nowhere else,
// and only an image leaves here, so that it can move into a module of its own
// that is loaded when a PDF is first shown. A hostile document can keep this
// busy for good: call it off the window's thread only. Qt's PDF library runs
// every document behind one lock, so once a document has kept it for good,
// later PDFs of the same process wait too (and get the file card).
PdfPage renderPdfPage(const QByteArray& path, int pageIndex, QSize box);

} // namespace marvoline
