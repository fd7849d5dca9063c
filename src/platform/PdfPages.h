#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace marvoline {

// One page of a PDF document, drawn.
struct PdfPage {
    QImage image; // null when the document or the page could not be read
    int pageCount = 0;
    // False when the PDF module could not be loaded: nothing was read.
    bool drawable = true;
};

// Reads the PDF document at the raw path and draws the page (counted from 0)
// as large as fits into box, on white. The drawing is done by the PDF module
// (platform/pdf), loaded the first time a page is asked for; only an image
// leaves it. A hostile document can keep this busy for good: call it off the
// window's thread only. Qt's PDF library runs every document behind one lock,
// so once a document has kept it for good, later PDFs of the same process
// wait too (and get the file card).
PdfPage renderPdfPage(const QByteArray& path, int pageIndex, QSize box);

// The folder the PDF module is loaded from: where the installation keeps it
// relative to the executable's folder (in the build folder, the executables
// of the program, the tests and the benchmarks all find the one module).
QString pdfModuleFolder();
// Loads the module from another folder from now on (the tests use a folder
// without one).
void setPdfModuleFolder(const QString& folder);

} // namespace marvoline
