// The PDF module: see PdfModuleEntry.h. It links Qt's PDF library and Qt GUI
// only, and is handed an open file, so that none of the program's own code is
// compiled into it twice.
#include "platform/pdf/PdfModuleEntry.h"

#include <QIODevice>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>

#include <type_traits>

extern "C" Q_DECL_EXPORT int marvoline_pdf_render_page(QIODevice* file, int pageIndex,
                                                       const QSize* box, QImage* page) {
    // The signature is the one the program looks up.
    static_assert(std::is_same_v<decltype(&marvoline_pdf_render_page), marvoline::PdfModuleEntry>);
    // A random-access device: the document is read here and now, without an
    // event loop, which the calling thread does not have.
    QPdfDocument document;
    document.load(file);
    if (document.status() != QPdfDocument::Status::Ready)
        return 0;
    const int pageCount = document.pageCount();
    if (pageIndex < 0 || pageIndex >= pageCount)
        return pageCount;
    const QSizeF points = document.pagePointSize(pageIndex);
    if (points.isEmpty())
        return pageCount;
    const QSize pixels =
        points.scaled(QSizeF(*box), Qt::KeepAspectRatio).toSize().expandedTo({1, 1});
    QImage drawn = document.render(pageIndex, pixels);
    if (drawn.isNull())
        return pageCount;
    // Pages are transparent where nothing is printed: paper is white, laid
    // under the page in its own pixels rather than in a second picture.
    if (drawn.hasAlphaChannel()) {
        if (drawn.format() != QImage::Format_ARGB32_Premultiplied)
            drawn.convertTo(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&drawn);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
        painter.fillRect(drawn.rect(), Qt::white);
    }
    drawn.convertTo(QImage::Format_RGB32);
    *page = std::move(drawn);
    return pageCount;
}
