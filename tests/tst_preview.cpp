// The preview pane: which view a location gets, what the general preview
// shows for images, animations, text, thumbnails and other files, PDF pages,
// the folder summary (its figures gathered off the UI thread, without hidden
// entries, link loops or unreadable folders), that a file that is slow or
// hostile to decode gets the file card in time while the window's thread goes
// on answering, and that a double click anywhere on a preview opens the files
// with the default application.
#include "support/HostileFiles.h"
#include "support/Responsiveness.h"
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "platform/DeadlineTask.h"
#include "platform/FilePaths.h"
#include "platform/FolderWalk.h"
#include "platform/ImageFrames.h"
#include "platform/PdfPages.h"
#include "views/FileCardView.h"
#include "views/FolderPreviewView.h"
#include "views/GeneralPreviewView.h"
#include "views/ImagePreviewView.h"
#include "views/PdfPreviewView.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtEndian>

#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
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

// True once the preview has what it will show, whatever kind of view it is.
bool previewSettled(const QWidget* view) {
    if (const auto* general = qobject_cast<const GeneralPreviewView*>(view))
        return general->kind() != GeneralPreviewView::Kind::Pending;
    if (const auto* pdf = qobject_cast<const PdfPreviewView*>(view))
        return pdf->state() != PdfPreviewView::State::Pending;
    return view != nullptr;
}

// Time enough for a preview's decoder whatever else the machine is doing: it
// runs behind every busy program, and a loaded test machine can keep it from
// the processor for seconds. What is tested with this is what a preview shows,
// not when.
constexpr std::chrono::minutes kUnhurried{1};

// The general preview of the file once it has its content.
std::unique_ptr<GeneralPreviewView> generalPreview(const QUrl& url, const QString& type) {
    auto view = std::make_unique<GeneralPreviewView>();
    view->configure(url, type, kUnhurried);
    if (!QTest::qWaitFor([&] { return previewSettled(view.get()); }, 60000))
        qWarning("the preview of %s did not settle", qPrintable(url.toString()));
    return view;
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
                 QSize(ImageFrameLimits().maxSide, ImageFrameLimits().maxSide / 4));
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
        const auto view = generalPreview(file(u"notes.txt"_s, contents), u"text/plain"_s);
        auto* text = qobject_cast<QPlainTextEdit*>(view->content());
        QVERIFY(text && text->isReadOnly());
        QCOMPARE(text->toPlainText(), shown);
    }

    // What is read while the pane is on screen but not yet drawn comes at the
    // frame after the window's first, shown and with the scroll bars its text
    // needs at its size, so that this frame draws it as it stays; a text or a
    // card is not made before, where it would hold up the first.
    void contentReadBeforeTheFirstFrameFollowsIt_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("scrolls");
        const int text = int(GeneralPreviewView::Kind::Text);
        QTest::newRow("two lines") << QByteArray("one\ntwo\n") << u"text/plain"_s << text << false;
        QTest::newRow("a long page") << QByteArray(2000, '\n') << u"text/plain"_s << text << true;
        QTest::newRow("a card") << QByteArray(100, '\0') << u"application/x-tar"_s
                                << int(GeneralPreviewView::Kind::Card) << false;
    }
    void contentReadBeforeTheFirstFrameFollowsIt() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, type);
        QFETCH(int, kind);
        QFETCH(bool, scrolls);
        QWidget window;
        window.resize(400, 300);
        auto* view = new GeneralPreviewView;
        (new QVBoxLayout(&window))->addWidget(view);
        window.setUpdatesEnabled(false); // on screen, nothing drawn yet
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        std::optional<bool> shown, scrollBar; // when the content comes
        connect(view, &GeneralPreviewView::ready, this, [&] {
            shown = view->content()->isVisible() && view->content()->geometry() == view->rect();
            const auto* text = qobject_cast<QPlainTextEdit*>(view->content());
            scrollBar = text && text->verticalScrollBar()->isVisible();
        });
        view->configure(file(u"held"_s, contents), type);
        QTest::qWait(300); // read long since
        QCOMPARE(view->kind(), GeneralPreviewView::Kind::Pending);
        QVERIFY(!view->findChild<QPlainTextEdit*>() && !view->findChild<FileCardView*>());
        window.setUpdatesEnabled(true);
        QTRY_COMPARE(int(view->kind()), kind);
        QCOMPARE(shown, std::optional(true));
        QCOMPARE(scrollBar, std::optional(scrolls));
    }

    void thumbnailWhenCachedElseCard() {
        const QUrl clip = file(u"clip.mp4"_s, QByteArray(1500, '\0'));
        const auto withoutThumbnail = generalPreview(clip, u"video/mp4"_s);
        auto* card = qobject_cast<FileCardView*>(withoutThumbnail->content());
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
        const auto withThumbnail = generalPreview(clip, u"video/mp4"_s);
        QCOMPARE(withThumbnail->kind(), GeneralPreviewView::Kind::Thumbnail);
        QCOMPARE(static_cast<ImagePreviewView*>(withThumbnail->content())->currentImage().size(),
                 QSize(128, 72));
    }

    // What the decoder hands out, frame by frame, and where it stops.
    void decodesFrames_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qsizetype>("maxAnimationBytes");
        QTest::addColumn<int>("frames");
        QTest::addColumn<bool>("animated");
        QTest::addColumn<QSize>("frameSize");
        const qsizetype plenty = ImageFrameLimits().maxAnimationBytes;
        QTest::newRow("still") << encodedImage(40, 30) << plenty << 1 << false << QSize(40, 30);
        QTest::newRow("animation")
            << test::animatedGif({64, 32}, 5, 3) << plenty << 5 << true << QSize(64, 32);
        // Frames of a large screen come at the animation's reduced size.
        QTest::newRow("large animation")
            << test::animatedGif({3000, 1500}, 2, 3) << plenty << 2 << true << QSize(512, 256);
        // Room for two frames of 64 × 32 × 4 bytes: the third is not decoded.
        QTest::newRow("animation past the memory bound")
            << test::animatedGif({64, 32}, 5, 3) << qsizetype(64 * 32 * 4 * 2) << 2 << true
            << QSize(64, 32);
        QTest::newRow("not an image")
            << QByteArray("plain words\n") << plenty << 0 << false << QSize();
    }
    void decodesFrames() {
        QFETCH(QByteArray, bytes);
        QFETCH(qsizetype, maxAnimationBytes);
        QFETCH(int, frames);
        QFETCH(bool, animated);
        QFETCH(QSize, frameSize);
        ImageFrameLimits limits;
        limits.maxAnimationBytes = maxAnimationBytes;
        QList<ImageFrame> seen;
        const ImageFramesResult result =
            decodeImageFrames(localPath(file(u"picture"_s, bytes)), limits, [&](ImageFrame frame) {
                seen.append(frame);
                return true;
            });
        QCOMPARE(result.frames, frames);
        QCOMPARE(seen.size(), frames);
        QCOMPARE(result.animated, animated);
        for (const ImageFrame& frame : seen) {
            QCOMPARE(frame.image.size(), frameSize);
            QCOMPARE(frame.animated, animated);
        }
        if (animated) {
            QCOMPARE(seen.first().delayMs, 30);
            QCOMPARE(result.loopCount, -1);
        }
    }

    // A pipe named like an image is not opened for reading, so nothing waits
    // for a writer, and the general preview shows the card.
    void pipeGetsTheCard() {
        const QByteArray fifo = QFile::encodeName(m_dir->filePath(u"x.png"_s));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        const QUrl url = QUrl::fromLocalFile(QFile::decodeName(fifo));
        QCOMPARE(decodeImageFrames(fifo, {}, [](ImageFrame) { return true; }).frames, 0);
        QCOMPARE(generalPreview(url, u"image/png"_s)->kind(), GeneralPreviewView::Kind::Card);
    }

    // The animation plays as its frames come in: a frame that is late is
    // shown when it arrives, and the loop count holds once all are in.
    void animationPlaysAsFramesArrive_data() {
        QTest::addColumn<int>("loopCount");
        QTest::addColumn<QList<int>>("expected"); // the frames shown, in order, after the first
        QTest::newRow("once") << 0 << QList<int>{1, 2};
        QTest::newRow("one more time") << 1 << QList<int>{1, 2, 0, 1, 2};
        QTest::newRow("for ever") << -1 << QList<int>{1, 2, 0, 1, 2, 0, 1, 2, 0};
    }
    void animationPlaysAsFramesArrive() {
        QFETCH(int, loopCount);
        QFETCH(QList<int>, expected);
        ImagePreviewView view;
        QList<int> shown;
        connect(&view, &ImagePreviewView::frameShown, this,
                [&](int index) { shown.append(index); });
        QImage frames[3];
        for (int i = 0; i < 3; ++i) {
            frames[i] = QImage(4, 4, QImage::Format_RGB32);
            frames[i].fill(QColor::fromHsv(i * 100, 255, 255));
        }
        view.addFrame(frames[0], 20);
        QCOMPARE(view.currentImage(), frames[0]);
        // Frame 1 is due long before it comes: frame 0 stays meanwhile.
        QTest::qWait(100);
        QCOMPARE(shown, QList<int>{0});
        view.addFrame(frames[1], 20);
        QCOMPARE(view.currentImage(), frames[1]);
        view.addFrame(frames[2], 20);
        view.finishFrames(loopCount);
        shown.removeFirst();
        QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= expected.size(), 5000);
        if (loopCount >= 0) {
            // Played out: the last frame stays.
            QTest::qWait(200);
            QCOMPARE(shown, expected);
            QCOMPARE(view.currentFrame(), 2);
        } else {
            QCOMPARE(shown.first(expected.size()), expected);
        }
    }

    void animationInTheGeneralPreview() {
        const auto view =
            generalPreview(file(u"spin.gif"_s, test::animatedGif({64, 64}, 4, 2)), u"image/gif"_s);
        auto* image = qobject_cast<ImagePreviewView*>(view->content());
        QVERIFY(image);
        QList<int> shown;
        connect(image, &ImagePreviewView::frameShown, this,
                [&](int index) { shown.append(index); });
        // All four frames, and round again.
        QTRY_VERIFY(shown.contains(3) && shown.indexOf(0, shown.indexOf(3)) > 0);
        QCOMPARE(image->currentImage().size(), QSize(64, 64));
    }

    // Nothing is drawn before the view is on screen. Pages are drawn white and
    // as large as the view needs, in whole steps: again when the view grows
    // past them, not when it shrinks. The wheel turns them; the last page asked
    // for wins, and turning stops at either end.
    void pdfPages() {
        const int step = PdfPreviewView::kRenderStep;
        PdfPreviewView view;
        view.resize(step + 100, step / 2 + 50); // a box of two steps by one
        QSignalSpy ready(&view, &PdfPreviewView::ready);
        view.configure(file(u"three.pdf"_s, test::blankPdf(3, {200, 100})), u"application/pdf"_s);
        QTest::qWait(50);
        QCOMPARE(view.state(), PdfPreviewView::State::Pending);
        QVERIFY(!view.findChild<DeadlineTask*>());
        view.show();
        QVERIFY(ready.wait(10000));
        QCOMPARE(view.state(), PdfPreviewView::State::Page);
        QCOMPARE(view.pageCount(), 3);
        QImage page = view.pageImage();
        QCOMPARE(page.deviceIndependentSize().toSize(), QSize(2 * step, step));
        QCOMPARE(page.pixelColor(page.width() / 2, page.height() / 2), QColor(Qt::white));

        const QList<std::pair<QSize, QSize>> sizes = {
            {QSize(2 * step + 100, step + 50), QSize(3 * step, 3 * step / 2)}, // grown: larger
            {QSize(step, step / 2), QSize(3 * step, 3 * step / 2)},            // shrunk: kept
            {QSize(2 * step, 3 * step), QSize(3 * step, 3 * step / 2)},        // taller only: kept
            {QSize(4 * step + 12, 2 * step + 12), QSize(4 * step, 2 * step)},  // both
        };
        for (const auto& [viewSize, pageSize] : sizes) {
            view.resize(viewSize);
            QTRY_COMPARE(view.pageImage().deviceIndependentSize().toSize(), pageSize);
            QTest::qWait(50); // no further drawing
            QCOMPARE(view.pageImage().deviceIndependentSize().toSize(), pageSize);
        }
        QCOMPARE(view.pageIndex(), 0);

        QSignalSpy turned(&view, &PdfPreviewView::pageShown);
        const auto wheel = [&view](int notches) {
            QWheelEvent event(QPointF(5, 5), QPointF(5, 5), {}, {0, notches * 120}, Qt::NoButton,
                              {}, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&view, &event);
        };
        wheel(-1);
        wheel(-1); // asked for while page 1 is drawn
        QTRY_COMPARE(view.pageIndex(), 2);
        wheel(5);
        QTRY_COMPARE(view.pageIndex(), 0);
        QCOMPARE(turned.last().first().toInt(), 0);
    }

    // A document that cannot be read leaves the view empty. Without a PDF
    // module that works (none, a file that is no library, a library without
    // the module's function) a PDF gets the file card, without a warning.
    void pdfWithoutAPage_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("module"); // in the folder looked in; empty: the built one
        QTest::addColumn<int>("state");
        const int unreadable = int(PdfPreviewView::State::Unreadable);
        const int card = int(PdfPreviewView::State::Card);
        const QByteArray pdf = test::blankPdf(2);
        QTest::newRow("unreadable document") << pdfBytes << QString() << unreadable;
        QTest::newRow("no module") << pdf << u"none"_s << card;
        QTest::newRow("no library") << pdf << u"text"_s << card;
        QTest::newRow("library without the function") << pdf << u"library"_s << card;
    }
    void pdfWithoutAPage() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, module);
        QFETCH(int, state);
        const auto restore = qScopeGuard([] { setPdfModuleFolder({}); });
        if (!module.isEmpty()) {
            const QString folder = m_sandbox.root() + u"/module-"_s + QString::number(++m_files);
            QVERIFY(QDir().mkpath(folder));
            const QString where = folder + u"/marvoline-pdf.so"_s;
            if (module == u"text")
                test::XdgSandbox::writeBytes(where, "not a library\n");
            if (module == u"library")
                QVERIFY(QFile::copy(QLibraryInfo::path(QLibraryInfo::LibrariesPath) +
                                        u"/libQt6Test.so.6"_s,
                                    where));
            setPdfModuleFolder(folder);
        }
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        PdfPreviewView view;
        QSignalSpy ready(&view, &PdfPreviewView::ready);
        view.configure(file(u"document.pdf"_s, contents), u"application/pdf"_s);
        view.resize(200, 200);
        view.show();
        QVERIFY(ready.wait(10000));
        QCOMPARE(int(view.state()), state);
        QVERIFY(view.pageImage().isNull());
        QCOMPARE(view.findChild<FileCardView*>() != nullptr,
                 state == int(PdfPreviewView::State::Card));
    }

    // A decoder's answer is taken only while it is wanted.
    void deadlineTask_data() {
        QTest::addColumn<bool>("answerInTime");
        QTest::addColumn<bool>("taskGoneFirst");
        QTest::addColumn<bool>("cancelledOnTheWay"); // after posting, before delivery
        QTest::addColumn<bool>("answerTaken");
        QTest::addColumn<bool>("timedOut");
        QTest::newRow("in time") << true << false << false << true << false;
        QTest::newRow("too late") << false << false << false << false << true;
        QTest::newRow("task gone") << true << true << false << false << false;
        QTest::newRow("cancelled on the way") << true << false << true << false << false;
    }
    void deadlineTask() {
        QFETCH(bool, answerInTime);
        QFETCH(bool, taskGoneFirst);
        QFETCH(bool, cancelledOnTheWay);
        QFETCH(bool, answerTaken);
        QFETCH(bool, timedOut);
        auto task = std::make_unique<DeadlineTask>(std::chrono::milliseconds(1000));
        QSignalSpy timeouts(task.get(), &DeadlineTask::timedOut);
        std::promise<void> go;
        auto answered = std::make_shared<std::promise<void>>();
        std::future<void> posted = answered->get_future();
        bool taken = false;
        task->start([released = go.get_future().share(), answered, &taken,
                     &task](const WorkerChannel& channel) {
            released.wait();
            // As a preview does: the answer settles the task.
            channel.post([&taken, &task] {
                taken = true;
                task->settle();
            });
            answered->set_value();
        });
        if (!answerInTime)
            QVERIFY(timeouts.wait(5000));
        if (taskGoneFirst)
            task.reset();
        go.set_value();
        QCOMPARE(posted.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        if (cancelledOnTheWay)
            task->cancel();
        // The answer has been posted; whatever it does is done once the queue is through.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(taken, answerTaken);
        if (task) {
            // Past the limit: a settled task does not time out.
            QTest::qWait(1200);
            QCOMPARE(timeouts.size(), timedOut ? 1 : 0);
        }
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
        QTest::newRow("pdf view") << file(u"paper.pdf"_s, test::blankPdf(2));
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
        QTRY_VERIFY(previewSettled(vc.previewView));
        // Low in the pane, where the folder's listing is: the innermost widget there.
        const QPoint where(vc.previewContainer->width() / 2, vc.previewContainer->height() * 3 / 4);
        QWidget* target = vc.previewContainer->childAt(where);
        QVERIFY(target && vc.previewView && vc.previewView->isAncestorOf(target));
        QTest::mouseDClick(target, Qt::LeftButton, {}, target->mapFrom(vc.previewContainer, where));
        QTRY_COMPARE(m_sandbox.recordedLaunches(test::viewerId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(test::viewerId).first(),
                 QList<QByteArray>{localPath(url)});
    }

    // A large animation is decoded at the pane's size, a frame at a time, while
    // the window goes on answering.
    void largeAnimationWithoutStalling() {
        GeneralPreviewView view;
        view.resize(520, 420);
        view.show();
        const test::StallMeter stalls;
        view.configure(file(u"big.gif"_s, test::animatedGif({3000, 3000}, 3, 10)), u"image/gif"_s,
                       kUnhurried);
        QTRY_VERIFY_WITH_TIMEOUT(view.kind() == GeneralPreviewView::Kind::Image, 60000);
        const auto* image = qobject_cast<ImagePreviewView*>(view.content());
        QVERIFY(image);
        QTRY_VERIFY_WITH_TIMEOUT(image->isAnimated(), 60000);
        QCOMPARE(image->currentImage().size(), QSize(512, 512));
        QVERIFY2(stalls.longestStallMs() < 1000,
                 qPrintable(u"the window's thread stalled %1 ms"_s.arg(stalls.longestStallMs())));
    }

    // Last, since the runaway PDF decoder keeps the PDF library for good.
    // Files that keep a decoder busy for good or for long: the window's thread
    // goes on answering, and the file card comes when the time is up.
    void hostileFileGetsTheCardInTime_data() {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("self-referencing PDF") << file(u"loop.pdf"_s, test::selfReferencingPdf());
        QTest::newRow("30000² PNG") << file(u"huge.png"_s, test::hugePng(30000));
    }
    void hostileFileGetsTheCardInTime() {
        QFETCH(QUrl, url);
        MainViewController vc;
        vc.resize(520, 420);
        vc.show();
        const test::StallMeter stalls;
        vc.setupPreview(url);
        QTRY_VERIFY_WITH_TIMEOUT(previewSettled(vc.previewView), 10000);
        QVERIFY2(stalls.longestStallMs() < 1000,
                 qPrintable(u"the window's thread stalled %1 ms"_s.arg(stalls.longestStallMs())));
        const auto* shownCard = vc.previewView->findChild<FileCardView*>();
        QVERIFY(shownCard);
        QCOMPARE(shownCard->nameText(), url.fileName());
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
        const auto view = generalPreview(url, type);
        auto* image = qobject_cast<ImagePreviewView*>(view->content());
        return view->kind() == GeneralPreviewView::Kind::Image && image ? image->currentImage()
                                                                        : QImage();
    }

    test::XdgSandbox& m_sandbox;
    std::unique_ptr<QTemporaryDir> m_dir; // a fresh folder for each case
    int m_files = 0;
};

// The hostile cases leave their decoders running.
MARVOLINE_TEST_MAIN_LEAVING_THREADS(TestPreview)
#include "tst_preview.moc"
