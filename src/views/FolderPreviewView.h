#pragma once

#include "platform/FolderWalk.h"

#include <QFuture>
#include <QLocale>
#include <QUrl>
#include <QWidget>

#include <optional>

class QLabel;
class QPlainTextEdit;
template <typename T> class QFutureWatcher;

namespace marvoline {

// What the background walk of a folder reports, in two results: first the
// listing of its direct entries, then the statistics of the whole tree.
struct FolderReport {
    std::optional<FolderListing> listing;
    std::optional<FolderStatistics> statistics;
};

// The three summary lines: total size, number of items, newest date (or an em
// dash when there is none), the size and date in the locale's formats.
QString folderSummaryText(const FolderStatistics& statistics, const QLocale& locale = QLocale());
// One line per listed entry, marked as folder or file, and a closing line
// counting the entries beyond the limit when there are any.
QString folderListingText(const FolderListing& listing, int limit);

// The preview of a folder: its icon, a summary of the whole tree below it and
// a scrolling list of its direct entries. The figures are gathered on a worker
// thread: the view shows at once with "…" in place of the summary and fills
// in when the walk is done. Deleting the view cancels its walk.
class FolderPreviewView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kIconSize = 64;
    static constexpr int kSpacing = 16;
    static constexpr int kListLimit = 100;

    explicit FolderPreviewView(QWidget* parent = nullptr);
    ~FolderPreviewView() override;

    // Shows the folder at the URL (a local folder) and starts its walk. Called
    // once, right after the view is made.
    void configure(const QUrl& url);

    QString summaryText() const;
    QString listingText() const;
    // The walk under way or done; cancelled once the view is gone.
    QFuture<FolderReport> walk() const { return m_walk; }

Q_SIGNALS:
    void listingReady();
    void statisticsReady();

protected:
    void changeEvent(QEvent* event) override;

private:
    void takeResult(int index);
    // The summary and the listing are sized from the application font.
    void updateFonts();

    QLabel* m_iconView;
    QLabel* m_infoLabel;
    QPlainTextEdit* m_textView; // scrolls itself
    QFutureWatcher<FolderReport>* m_watcher;
    QFuture<FolderReport> m_walk;
};

} // namespace marvoline
