#include "platform/PdfPages.h"

#include "platform/FileContents.h"
#include "platform/Logging.h"
#include "platform/pdf/PdfModuleEntry.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>
#include <QMutex>

namespace marvoline {

namespace {

QMutex folderLock;
QString chosenFolder; // empty: the installation's

PdfModuleEntry loadPdfModuleEntry() {
    const QString path = pdfModuleFolder() + u'/' + QLatin1StringView(kPdfModuleName);
    // Loaded once and kept: QLibrary counts the loads, and the library is
    // never unloaded under a page that is being drawn.
    QLibrary library(path);
    if (!library.load()) {
        qCDebug(lcMarvoline) << "no PDF module:" << library.errorString();
        return nullptr;
    }
    return reinterpret_cast<PdfModuleEntry>(library.resolve(kPdfModuleEntry));
}

} // namespace

QString pdfModuleFolder() {
    {
        const QMutexLocker locker(&folderLock);
        if (!chosenFolder.isEmpty())
            return chosenFolder;
    }
    return QCoreApplication::applicationDirPath() + u'/' +
           QLatin1StringView(MARVOLINE_PDF_MODULE_FROM_BIN);
}

void setPdfModuleFolder(const QString& folder) {
    const QMutexLocker locker(&folderLock);
    chosenFolder = folder;
}

PdfPage renderPdfPage(const QByteArray& path, int pageIndex, QSize box) {
    PdfPage page;
    const std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file || box.isEmpty())
        return page;
    const PdfModuleEntry render = loadPdfModuleEntry();
    if (!render) {
        page.drawable = false;
        return page;
    }
    page.pageCount = render(file.get(), pageIndex, &box, &page.image);
    return page;
}

} // namespace marvoline
