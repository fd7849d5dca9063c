// The preview pane: which view a location gets, what the general preview
// shows for images, text, thumbnails and other files, the folder summary (its
// figures gathered off the UI thread, without hidden entries, link loops or
// unreadable folders), and that a double click anywhere on a preview opens the
// files with the default application.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/FolderWalk.h"
#include "views/FileCardView.h"
#include "views/FolderPreviewView.h"
#include "views/GeneralPreviewView.h"
#include "views/ImagePreviewView.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace marvoline;
using namespace Qt::StringLiterals;

namespace {

const QStringList viewerTypes = {u"inode/directory"_s, u"application/pdf"_s, u"text/plain"_s,
                                 u"image/png"_s, u"video/mp4"_s};

// Enough of a PDF for its type to be told from its contents.
const QByteArray pdfBytes = "%PDF-1.4\n%%EOF\n";

// A one-colour image of the size, encoded.
QByteArray encodedImage(int width, int height, const char* format = "PNG") {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// An uncompressed PNG text chunk, as the thumbnail cache keeps them (Qt would
// compress the longer values, which GIO does not read).
QByteArray textChunk(const QByteArray& key, const QByteArray& value) {
    const QByteArray body = "tEXt" + key + '\0' + value;
    quint32 crc = 0xffffffffu;
    for (const char byte : body) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(body.size() - 4), chunk.data());
    chunk += body + QByteArray(4, '\0');
    qToBigEndian<quint32>(~crc, chunk.data() + chunk.size() - 4);
    return chunk;
}

void makeFile(const QString& path, qint64 size = 0) {
    test::XdgSandbox::writeBytes(path, QByteArray(size, 'x'));
}

bool setModified(const QString& path, qint64 secsSinceEpoch) {
    const timespec times[2] = {{secsSinceEpoch, 0}, {secsSinceEpoch, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

// The summary and listing once the walk of the folder has finished.
std::pair<QString, QString> showFolder(const QString& path) {
    FolderPreviewView view;
    QSignalSpy done(&view, &FolderPreviewView::statisticsReady);
    view.configure(QUrl::fromLocalFile(path));
    if (!done.wait(30000))
        return {u"(walk did not finish)"_s, QString()};
    return {view.summaryText(), view.listingText()};
}

} // namespace

class TestPreview final : public QObject {
    Q_OBJECT

public:
    explicit TestPreview(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(test::viewerId, u"Viewer"_s, viewerTypes);
        QMap<QString, QStringList> cache;
        QMap<QString, QString> defaults;
        for (const QString& type : viewerTypes) {
            cache.insert(type, {test::viewerId});
            defaults.insert(type, test::viewerId);
        }
        m_sandbox.writeMimeinfoCache(cache);
        m_sandbox.writeDefaults(defaults);
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        m_sandbox.clearRecords();
        m_dir = std::make_unique<QTemporaryDir>();
    }

    void choosesTheView_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("view");
        const QString folder = u"marvoline::FolderPreviewView"_s;
        const QString pdf = u"marvoline::PdfPreviewView"_s;
        const QString general = u"marvoline::GeneralPreviewView"_s;
        QTest::newRow("folder") << folderUrl(u"plain folder"_s) << folder;
        QTest::newRow("folder named x.pdf") << folderUrl(u"x.pdf"_s) << folder;
        QTest::newRow("report.PDF") << file(u"report.PDF"_s, pdfBytes) << pdf;
        QTest::newRow("PDF without extension") << file(u"scan"_s, pdfBytes) << pdf;
        QTest::newRow("text") << file(u"notes.txt"_s, "hello\n") << general;
        QTest::newRow("non-file URL") << QUrl(u"https://example.org/report.pdf"_s) << u"none"_s;
        QTest::newRow("missing file")
            << QUrl::fromLocalFile(m_sandbox.root() + u"/files/gone.pdf"_s) << u"none"_s;
    }
    void choosesTheView() {
        QFETCH(QUrl, url);
        QFETCH(QString, view);
        MainViewController vc;
        // A folder on show first: every call starts by taking it away and stopping its walk.
        vc.setupPreview(QUrl::fromLocalFile(m_dir->path()));
        const auto* before = qobject_cast<FolderPreviewView*>(vc.previewView);
        QVERIFY(before);
        const QFuture<FolderReport> walk = before->walk();
        vc.setupPreview(url);
        QVERIFY(walk.isCanceled());
        const char* shownClass =
            vc.previewView ? vc.previewView->metaObject()->className() : "none";
        QCOMPARE(QString::fromLatin1(shownClass), view);
        const auto shown = vc.previewContainer->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(shown.size(), view == u"none"_s ? 0 : 1);
    }

    // A file whose type could not be read is not taken for a PDF by its name.
    void pdfNeedsAKnownType() {
        const QUrl url = QUrl::fromLocalFile(u"/data/report.pdf"_s);
        QVERIFY(!MainViewController::isPdfDocument(url, std::nullopt));
        QVERIFY(MainViewController::isPdfDocument(url, u"application/octet-stream"_s));
    }

    void imageTurnedUprightAndDecodedSmall() {
        // A landscape photo whose metadata says to turn it a quarter clockwise.
        QByteArray jpeg = encodedImage(40, 30, "JPEG");
        jpeg.insert(2, QByteArray::fromHex("ffe10022457869660000"         // APP1 "Exif"
                                           "4d4d002a00000008"             // big-endian TIFF header
                                           "0001011200030000000100060000" // orientation 6
                                           "00000000"));
        QCOMPARE(shownImage(file(u"turned.jpg"_s, jpeg), u"image/jpeg"_s).size(), QSize(30, 40));
        const QByteArray huge = encodedImage(4096, 1024);
        QCOMPARE(shownImage(file(u"huge.png"_s, huge), u"image/png"_s).size(),
                 QSize(ImagePreviewView::kMaxDecodedSide, ImagePreviewView::kMaxDecodedSide / 4));
    }

    void textShowsTheStart_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("shown");
        const qint64 limit = GeneralPreviewView::kTextPreviewBytes;
        QTest::newRow("short") << QByteArray("line one\nline two\n") << u"line one\nline two\n"_s;
        QTest::newRow("huge file") << QByteArray(limit * 16, 'a') << QString(limit, u'a');
        // "é" is two bytes; the cut falls between them.
        QTest::newRow("character cut at the limit")
            << QByteArray(limit - 1, 'b') + "\xc3\xa9 and more" << QString(limit - 1, u'b');
    }
    void textShowsTheStart() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, shown);
        GeneralPreviewView view;
        view.configure(file(u"notes.txt"_s, contents), u"text/plain"_s);
        auto* text = qobject_cast<QPlainTextEdit*>(view.content());
        QVERIFY(text && text->isReadOnly());
        QCOMPARE(text->toPlainText(), shown);
    }

    void thumbnailWhenCachedElseCard() {
        const QUrl clip = file(u"clip.mp4"_s, QByteArray(1500, '\0'));
        GeneralPreviewView withoutThumbnail;
        withoutThumbnail.configure(clip, u"video/mp4"_s);
        auto* card = qobject_cast<FileCardView*>(withoutThumbnail.content());
        QVERIFY(card);
        QCOMPARE(card->nameText(), u"clip.mp4"_s);
        QCOMPARE(card->sizeText(), u"1.5 kB"_s);

        // A thumbnail the desktop made for the file as it is now.
        struct stat st {};
        QVERIFY(::stat(localPath(clip).constData(), &st) == 0);
        const QByteArray uri = clip.toEncoded();
        const QString thumbnail =
            m_sandbox.root() + u"/cache/thumbnails/normal/"_s +
            QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
            u".png"_s;
        // The text chunks go right after the header chunk.
        const QByteArray texts = textChunk("Thumb::URI", uri) +
                                 textChunk("Thumb::MTime", QByteArray::number(qint64(st.st_mtime)));
        m_sandbox.writeBytes(thumbnail, encodedImage(128, 72).insert(8 + 25, texts));
        GeneralPreviewView withThumbnail;
        withThumbnail.configure(clip, u"video/mp4"_s);
        QCOMPARE(withThumbnail.kind(), GeneralPreviewView::Kind::Thumbnail);
        QCOMPARE(static_cast<ImagePreviewView*>(withThumbnail.content())->currentImage().size(),
                 QSize(128, 72));
    }

    // A folder of empty files and hidden entries, which count for nothing: the
    // listing stops at 100 with a line for the rest.
    void summaryAndListing_data() {
        QTest::addColumn<int>("entries"); // -1: the folder is not there
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("not there") << -1 << QString();
        QTest::newRow("empty") << 0 << QString();
        QTest::newRow("one") << 1 << u"📄 f0"_s;
        QTest::newRow("exactly 100") << 100 << QString();
        QTest::newRow("101") << 101 << u"... 他 1 項目"_s;
        QTest::newRow("250") << 250 << u"... 他 150 項目"_s;
    }
    void summaryAndListing() {
        QFETCH(int, entries);
        QFETCH(QString, lastLine);
        for (int i = 0; i < entries; ++i)
            makeFile(m_dir->filePath(u"f%1"_s.arg(i)));
        if (entries >= 0) {
            makeFile(m_dir->filePath(u".hidden"_s), 100);
            makeFile(m_dir->filePath(u".cache/inside"_s), 100);
        }
        const auto [summary, listing] =
            showFolder(m_dir->path() + (entries < 0 ? u"/not-there"_s : u""_s));
        const int count = qMax(entries, 0);
        QVERIFY2(summary.startsWith(u"0 bytes\n%1 項目\n"_s.arg(count)), qPrintable(summary));
        QCOMPARE(summary.endsWith(u"—"_s), count == 0);
        const QStringList listed = listing.isEmpty() ? QStringList() : listing.split(u'\n');
        QCOMPARE(listed.size(), qMin(count, 101));
        if (!lastLine.isEmpty())
            QCOMPARE(listed.last(), lastLine);
        QCOMPARE(listed.filter(QRegularExpression(u"^📄 f\\d+$"_s)).size(), qMin(count, 100));
    }

    // Sizes and counts come from the whole tree, the date from its newest entry.
    void figuresOfTheWholeTree() {
        const QString sub = m_dir->filePath(u"sub"_s);
        const qint64 older = 1'600'000'000, newest = 1'700'000'000;
        for (const auto& [name, size, time] :
             {std::tuple(u"/a"_s, 1000, older), std::tuple(u"/b"_s, 2000, newest),
              std::tuple(u"/c"_s, 500, older + 60)}) {
            makeFile(sub + name, size);
            QVERIFY(setModified(sub + name, time));
        }
        QVERIFY(setModified(sub, older + 120));
        const auto [summary, listing] = showFolder(m_dir->path());
        const QDateTime date = QDateTime::fromSecsSinceEpoch(newest);
        QCOMPARE(summary, u"3.5 kB\n4 項目\n"_s + QLocale().toString(date, QLocale::ShortFormat));
        QCOMPARE(listing, u"📁 sub"_s);
    }

    // The summary and the listing follow the application font, also once on show.
    void folderTextsFollowTheApplicationFont() {
        const QFont saved = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(saved); });
        FolderPreviewView view;
        const auto sizes = [&view] {
            return std::pair(
                QFontInfo(view.findChild<QLabel*>(u"folderSummary"_s)->font()).pixelSize(),
                QFontInfo(view.findChild<QPlainTextEdit*>(u"folderListing"_s)->font()).pixelSize());
        };
        const auto [summary, listing] = sizes();
        QVERIFY(summary > 0 && listing > 0 && listing <= summary);
        QFont large = saved;
        large.setPointSizeF(saved.pointSizeF() * 2);
        QApplication::setFont(large);
        QTRY_VERIFY(sizes().first >= summary * 1.8);
        QVERIFY(sizes().second >= listing * 1.8);
    }

    void linksAreNotFollowed() {
        QTemporaryDir outside;
        makeFile(outside.filePath(u"big"_s), 100000);
        const QString sub = m_dir->filePath(u"sub"_s);
        QVERIFY(QDir().mkpath(sub));
        QVERIFY(QFile::link(u".."_s, sub + u"/up"_s));
        QVERIFY(QFile::link(u"."_s, sub + u"/self"_s));
        QVERIFY(QFile::link(outside.path(), m_dir->filePath(u"out"_s)));

        const auto stats = folderStatistics(QFile::encodeName(m_dir->path()));
        QVERIFY(stats);
        QCOMPARE(stats->count, 4);
        // A link is an entry of its own: its size is that of the path it holds.
        QCOMPARE(stats->totalSize, 2 + 1 + QFile::encodeName(outside.path()).size());
        const FolderListing listing = listFolder(QFile::encodeName(m_dir->path()), 100);
        for (const FolderEntry& entry : listing.entries)
            QCOMPARE(entry.isDirectory, entry.name == QLatin1String("sub"));
    }

    void unreadableSubfolderIsSkipped() {
        makeFile(m_dir->filePath(u"a/one"_s), 10);
        makeFile(m_dir->filePath(u"a/two"_s), 20);
        makeFile(m_dir->filePath(u"locked/inside"_s), 100);
        makeFile(m_dir->filePath(u"z"_s), 5);
        const QByteArray path = QFile::encodeName(m_dir->path());
        const QByteArray locked = path + "/locked";
        QVERIFY(::chmod(path.constData(), 0755) == 0 && ::chmod(locked.constData(), 0) == 0);
        // Root reads every folder, so the walk then runs as nobody.
        const bool root = ::geteuid() == 0;
        QVERIFY(!root || ::seteuid(65534) == 0);
        const std::optional<FolderStatistics> stats = folderStatistics(path);
        QVERIFY(!root || ::seteuid(0) == 0);
        QVERIFY(::chmod(locked.constData(), 0700) == 0);
        // a, a/one, a/two, locked, z; nothing from inside locked.
        QVERIFY(stats);
        QCOMPARE(stats->count, 5);
        QCOMPARE(stats->totalSize, 35);
    }

    // Wherever on the preview the double click lands, the default opens.
    void doubleClickOpensWithDefault_data() {
        QTest::addColumn<QUrl>("url");
        const QUrl folder = folderUrl(u"listed"_s);
        for (int i = 0; i < 40; ++i)
            QFile(folder.toLocalFile() + u"/entry %1"_s.arg(i)).open(QIODevice::WriteOnly);
        QTest::newRow("folder listing") << folder;
        QTest::newRow("text view") << file(u"words.txt"_s, "many words here\n");
        QTest::newRow("pdf view") << file(u"paper.pdf"_s, pdfBytes);
        QTest::newRow("image") << file(u"big.png"_s, encodedImage(800, 800));
        QTest::newRow("card") << file(u"movie.mp4"_s, QByteArray(10, '\0'));
    }
    void doubleClickOpensWithDefault() {
        QFETCH(QUrl, url);
        MainViewController vc;
        vc.resize(520, 420);
        vc.configure({url}, false, true);
        vc.showFiles();
        vc.show();
        QVERIFY(QTest::qWaitForWindowExposed(&vc));
        // Low in the pane, where the folder's listing is: the innermost widget there.
        const QPoint where(vc.previewContainer->width() / 2, vc.previewContainer->height() * 3 / 4);
        QWidget* target = vc.previewContainer->childAt(where);
        QVERIFY(target && vc.previewView && vc.previewView->isAncestorOf(target));
        QTest::mouseDClick(target, Qt::LeftButton, {}, target->mapFrom(vc.previewContainer, where));
        QTRY_COMPARE(m_sandbox.recordedLaunches(test::viewerId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(test::viewerId).first(),
                 QList<QByteArray>{localPath(url)});
    }

private:
    QUrl file(const QString& name, const QByteArray& contents) {
        return m_sandbox.writeFile(QString::number(++m_files) + u'/' + name, contents);
    }
    QUrl folderUrl(const QString& name) {
        const QString path = m_sandbox.root() + u"/files/%1/"_s.arg(++m_files) + name;
        QDir().mkpath(path);
        return QUrl::fromLocalFile(path);
    }
    // The image the general preview shows for the file.
    static QImage shownImage(const QUrl& url, const QString& type) {
        GeneralPreviewView view;
        view.configure(url, type);
        auto* image = qobject_cast<ImagePreviewView*>(view.content());
        return view.kind() == GeneralPreviewView::Kind::Image && image ? image->currentImage()
                                                                       : QImage();
    }

    test::XdgSandbox& m_sandbox;
    std::unique_ptr<QTemporaryDir> m_dir; // a fresh folder for each case
    int m_files = 0;
};

MARVOLINE_TEST_MAIN(TestPreview)
#include "tst_preview.moc"
