#pragma once

#include <QByteArray>
#include <QPdfView>

namespace marvoline {

// A PDF document, one page at a time, the page fitted into the view. The
// document is read asynchronously; one that cannot be read leaves the view
// empty. The module is loaded only when a PDF is shown.
class PdfPreviewView : public QPdfView {
    Q_OBJECT

public:
    explicit PdfPreviewView(QWidget* parent = nullptr);
    ~PdfPreviewView() override;

    // Starts reading the document at the raw path.
    void load(const QByteArray& path);
    // Fits the page into the view at the size it has now. The view refits on
    // every resize by itself.
    void fitPage();
};

} // namespace marvoline
