#pragma once

class QIODevice;
class QImage;
class QSize;

namespace marvoline {

// The PDF module (marvoline-pdf) holds the only code that uses Qt's PDF
// library, so that the library, pdfium and what they pull in (Qt Network and
// its Kerberos and proxy libraries) are loaded only once a PDF is shown. It
// exports this one function, under this name.
inline constexpr char kPdfModuleName[] = "marvoline-pdf";
inline constexpr char kPdfModuleEntry[] = "marvoline_pdf_render_page";

// Reads the document from the open random-access device and, when the page
// (counted from 0) exists, draws it as large as fits into box, on white, into
// page. Returns the document's page count, 0 when it cannot be read.
using PdfModuleEntry = int (*)(QIODevice* document, int pageIndex, const QSize* box, QImage* page);

} // namespace marvoline
