#pragma once

#include "platform/DeadlineTask.h"

#include <QImage>
#include <QUrl>
#include <QWidget>

#include <optional>

namespace marvoline {

// A PDF document, one page at a time, the page fitted into the view; the wheel
// turns the pages. Pages are read and drawn off the window's thread, each time
// from the file; the view shows only the finished picture. The first page is
// begun at the window's next frame after the view was first painted, so the
// window's first frame neither waits for the PDF library to load nor shares
// the processor with it. A document that cannot be read leaves the view empty;
// one that is not drawn within the time limit, or when the PDF module is
// missing, gets the file card instead.
class PdfPreviewView : public QWidget {
    Q_OBJECT

public:
    enum class State { Pending, Page, Unreadable, Card };

    // A page is drawn for the view's size, rounded up to whole steps of this
    // many device pixels, and again when the view grows past what was drawn:
    // a small pane keeps a small picture, a window resized by hand redraws the
    // page only now and then.
    static constexpr int kRenderStep = 256;

    explicit PdfPreviewView(QWidget* parent = nullptr);

    // The document whose first page the view draws once it is on screen.
    // Called once, right after the view is made; contentType is the file's
    // MIME type, for the card.
    void configure(const QUrl& url, const std::optional<QString>& contentType,
                   std::chrono::milliseconds timeLimit = kPreviewTimeLimit);
    // Turns to the page (counted from 0); the last one asked for wins.
    void showPage(int index);

    State state() const { return m_state; }
    int pageIndex() const { return m_pageIndex; }
    int pageCount() const { return m_pageCount; }
    QImage pageImage() const { return m_page; }

Q_SIGNALS:
    // The first page, the card, or the news that the document cannot be read
    // is on show.
    void ready();
    // Another page is on show.
    void pageShown(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The device pixels a page may take to fill the view, in whole steps.
    QSize renderBox() const;
    bool pageCoversView() const;
    void render(int index);
    void takePage(int index, const QImage& image, int pageCount);
    void takeNoRenderer();
    void showCard();

    QUrl m_url;
    std::optional<QString> m_contentType;
    std::chrono::milliseconds m_timeLimit = kPreviewTimeLimit;
    State m_state = State::Pending;
    QImage m_page;
    int m_pageIndex = 0;
    int m_pageCount = 0;
    int m_wantedPage = 0;
    int m_wheelAngle = 0;
    bool m_firstPageAwaited = false; // at the window's next frame
    DeadlineTask* m_task = nullptr;  // the page being drawn
};

} // namespace marvoline
