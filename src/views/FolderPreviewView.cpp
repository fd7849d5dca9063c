#include "views/FolderPreviewView.h"

#include "platform/FileIcons.h"
#include "platform/FilePaths.h"
#include "views/Appearance.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace marvoline {

namespace {

// The summary and the list keep these texts in every language on purpose: the
// folder preview has always shown them this way.
const QString kFolderMark = QStringLiteral("📁 ");
const QString kFileMark = QStringLiteral("📄 ");
const QString kItemsSuffix = QStringLiteral(" 項目\n");
const QString kMorePrefix = QStringLiteral("... 他 ");
const QString kMoreSuffix = QStringLiteral(" 項目");
const QString kNoDate = QStringLiteral("—");
const QString kGathering = QStringLiteral("…");

// Text sizes as a 13-point application font would show them; larger desktop
// fonts give larger texts.
constexpr qreal kSummaryPoints = 12;
constexpr int kSummaryLines = 3;
constexpr qreal kListPoints = 11;

} // namespace

QString folderSummaryText(const FolderStatistics& statistics, const QLocale& locale) {
    // Decimal units, as file managers on this desktop show file sizes.
    const QString size =
        locale.formattedDataSize(statistics.totalSize, 1, QLocale::DataSizeSIFormat);
    const QString date =
        statistics.newest ? locale.toString(statistics.newest->toLocalTime(), QLocale::ShortFormat)
                          : kNoDate;
    return size + QLatin1Char('\n') + QString::number(statistics.count) + kItemsSuffix + date;
}

QString folderListingText(const FolderListing& listing, int limit) {
    QStringList lines;
    for (const FolderEntry& entry :
         listing.entries.first(qMin(qsizetype(limit), listing.entries.size())))
        lines.append((entry.isDirectory ? kFolderMark : kFileMark) + entry.name);
    if (listing.total > limit)
        lines.append(kMorePrefix + QString::number(listing.total - limit) + kMoreSuffix);
    return lines.join(QLatin1Char('\n'));
}

FolderPreviewView::FolderPreviewView(QWidget* parent)
    : QWidget(parent)
    , m_iconView(new QLabel)
    , m_infoLabel(new QLabel)
    , m_textView(new QPlainTextEdit)
    , m_watcher(new QFutureWatcher<FolderReport>(this)) {
    m_iconView->setFixedSize(kIconSize, kIconSize);
    m_iconView->setAlignment(Qt::AlignCenter);

    m_infoLabel->setForegroundRole(QPalette::PlaceholderText);
    m_infoLabel->setWordWrap(true);
    m_infoLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_infoLabel->setObjectName(QStringLiteral("folderSummary"));

    m_textView->setReadOnly(true);
    m_textView->setFrameShape(QFrame::NoFrame);
    m_textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_textView->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_textView->viewport()->setAutoFillBackground(false);
    m_textView->setBackgroundVisible(false);
    m_textView->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    m_textView->setObjectName(QStringLiteral("folderListing"));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    layout->setHorizontalSpacing(kSpacing);
    layout->setVerticalSpacing(kSpacing);
    layout->addWidget(m_iconView, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_infoLabel, 0, 1, Qt::AlignTop);
    layout->addWidget(m_textView, 1, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);

    connect(m_watcher, &QFutureWatcher<FolderReport>::resultReadyAt, this,
            &FolderPreviewView::takeResult);
    updateFonts();
}

void FolderPreviewView::updateFonts() {
    const QFont summaryFont = scaledFont(font(), kSummaryPoints);
    m_infoLabel->setFont(summaryFont);
    m_infoLabel->setMaximumHeight(kSummaryLines * QFontMetrics(summaryFont).lineSpacing());
    // The desktop's fixed-width family at the size the application font gives.
    QFont listFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont listSize = scaledFont(font(), kListPoints);
    if (listSize.pixelSize() > 0)
        listFont.setPixelSize(listSize.pixelSize());
    else
        listFont.setPointSizeF(listSize.pointSizeF());
    listFont.setWeight(QFont::Normal);
    m_textView->setFont(listFont);
}

void FolderPreviewView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateFonts();
}

FolderPreviewView::~FolderPreviewView() {
    // The worker notices within a few entries and leaves the thread pool.
    m_walk.cancel();
}

void FolderPreviewView::configure(const QUrl& url) {
    m_iconView->setPixmap(iconForFile(url).pixmap(QSize(kIconSize, kIconSize)));
    m_infoLabel->setText(kGathering);
    m_textView->clear();

    m_walk.cancel();
    auto promise = std::make_shared<QPromise<FolderReport>>();
    m_walk = promise->future();
    m_watcher->setFuture(m_walk);
    const QByteArray path = localPath(url);
    QThreadPool::globalInstance()->start([promise, path] {
        promise->start();
        promise->addResult(FolderReport{listFolder(path, kListLimit), std::nullopt}, 0);
        std::optional<FolderStatistics> statistics =
            folderStatistics(path, [&promise] { return promise->isCanceled(); });
        if (statistics)
            promise->addResult(FolderReport{std::nullopt, std::move(statistics)}, 1);
        promise->finish();
    });
}

void FolderPreviewView::takeResult(int index) {
    const FolderReport report = m_watcher->resultAt(index);
    if (report.listing) {
        m_textView->setPlainText(folderListingText(*report.listing, kListLimit));
        Q_EMIT listingReady();
    }
    if (report.statistics) {
        m_infoLabel->setText(folderSummaryText(*report.statistics));
        Q_EMIT statisticsReady();
    }
}

QString FolderPreviewView::summaryText() const {
    return m_infoLabel->text();
}

QString FolderPreviewView::listingText() const {
    return m_textView->toPlainText();
}

} // namespace marvoline
