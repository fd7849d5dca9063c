#include "platform/PdfPages.h"

#include "platform/FileContents.h"

#include <QFile>
#include <QPainter>
#include <QPdfDocument>

namespace marvoline {

PdfPage renderPdfPage(const QByteArray& path, int pageIndex, QSize box) {
    PdfPage page;
    const std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file || box.isEmpty())
        return page;
    // A random-access device: the document is read here and now, without an
    // event loop, which this thread does not have.
    QPdfDocument document;
    document.load(file.get());
    if (document.status() != QPdfDocument::Status::Ready)
        return page;
    page.pageCount = document.pageCount();
    if (pageIndex < 0 || pageIndex >= page.pageCount)
        return page;
    const QSizeF points = document.pagePointSize(pageIndex);
    if (points.isEmpty())
        return page;
    const QSize pixels =
        points.scaled(QSizeF(box), Qt::KeepAspectRatio).toSize().expandedTo({1, 1});
    const QImage drawn = document.render(pageIndex, pixels);
    if (drawn.isNull())
        return page;
    // Pages are transparent where nothing is printed: paper is white.
    page.image = QImage(drawn.size(), QImage::Format_RGB32);
    page.image.fill(Qt::white);
    QPainter(&page.image).drawImage(0, 0, drawn);
    return page;
}

} // namespace marvoline
