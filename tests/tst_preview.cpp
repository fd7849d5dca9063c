// The preview pane: which view a location gets, what the general preview
// shows for images, text, thumbnails and other files, and that a double click
// anywhere on a preview opens the files with the default application.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "views/FileCardView.h"
#include "views/FolderPreviewView.h"
#include "views/GeneralPreviewView.h"
#include "views/ImagePreviewView.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QtEndian>

#include <sys/stat.h>

using namespace marvoline;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QStringList viewerTypes = {
    QStringLiteral("inode/directory"), QStringLiteral("application/pdf"),
    QStringLiteral("text/plain"),      QStringLiteral("image/png"),
    QStringLiteral("image/gif"),       QStringLiteral("video/mp4"),
};

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage filled(int width, int height, Qt::GlobalColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QByteArray pdfBytes() {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    QPainter painter(&writer);
    painter.drawText(QPointF(100, 100), QStringLiteral("A page"));
    painter.end();
    return bytes;
}

// Two frames of one pixel each, black then white, looping.
QByteArray animatedGif() {
    return QByteArray::fromHex("47494638396101000100800000000000ffffff"
                               "21ff0b4e45545343415045322e300301000000"
                               "21f90400050000002c0000000001000100000202440100"
                               "21f90400050000002c00000000010001000002024c01003b");
}

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xffffffffu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG with uncompressed text chunks right after its header chunk, as the
// thumbnail cache keeps them (Qt would compress the longer values).
QByteArray pngWithText(const QImage& image, const QList<QPair<QByteArray, QByteArray>>& texts) {
    QByteArray png = pngBytes(image);
    constexpr int afterHeader = 8 + 25;
    QByteArray chunks;
    for (const auto& [key, value] : texts) {
        const QByteArray body = "tEXt" + key + '\0' + value;
        QByteArray chunk(4, '\0');
        qToBigEndian<quint32>(quint32(body.size() - 4), chunk.data());
        chunk += body;
        QByteArray crc(4, '\0');
        qToBigEndian<quint32>(crc32(body), crc.data());
        chunks += chunk + crc;
    }
    return png.insert(afterHeader, chunks);
}

QString className(const QWidget* widget) {
    return widget ? QString::fromLatin1(widget->metaObject()->className()) : QStringLiteral("none");
}

} // namespace

class TestPreview final : public QObject {
    Q_OBJECT

public:
    explicit TestPreview(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(viewerId, QStringLiteral("Viewer"), viewerTypes);
        QMap<QString, QStringList> cache;
        QMap<QString, QString> defaults;
        for (const QString& type : viewerTypes) {
            cache.insert(type, {viewerId});
            defaults.insert(type, viewerId);
        }
        m_sandbox.writeMimeinfoCache(cache);
        m_sandbox.writeDefaults(defaults);
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() { m_sandbox.clearRecords(); }

    void choosesTheView_data() {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("view");
        const QString folder = QStringLiteral("marvoline::FolderPreviewView");
        const QString pdf = QStringLiteral("marvoline::PdfPreviewView");
        const QString general = QStringLiteral("marvoline::GeneralPreviewView");
        QTest::newRow("folder") << folderUrl(QStringLiteral("plain folder")) << folder;
        QTest::newRow("folder named x.pdf") << folderUrl(QStringLiteral("x.pdf")) << folder;
        QTest::newRow("report.PDF") << file(QStringLiteral("report.PDF"), pdfBytes()) << pdf;
        QTest::newRow("PDF without extension") << file(QStringLiteral("scan"), pdfBytes()) << pdf;
        QTest::newRow("text") << file(QStringLiteral("notes.txt"), "hello\n") << general;
        QTest::newRow("PNG") << file(QStringLiteral("red.png"), pngBytes(filled(4, 4, Qt::red)))
                             << general;
        QTest::newRow("non-file URL")
            << QUrl(QStringLiteral("https://example.org/report.pdf")) << QStringLiteral("none");
        QTest::newRow("missing file")
            << QUrl::fromLocalFile(m_sandbox.root() + QStringLiteral("/files/gone.pdf"))
            << QStringLiteral("none");
    }
    void choosesTheView() {
        QFETCH(QUrl, url);
        QFETCH(QString, view);
        MainViewController vc;
        // Something on show first: every call starts by taking it away.
        vc.setupPreview(file(QStringLiteral("before.txt"), "before"));
        QVERIFY(vc.previewView);
        vc.setupPreview(url);
        QCOMPARE(className(vc.previewView), view);
        const auto shown = vc.previewContainer->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(shown.size(), view == QLatin1String("none") ? 0 : 1);
    }

    // The rule itself, also for a type that could not be read.
    void pdfNeedsAKnownType_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<QString>>("type");
        QTest::addColumn<bool>("pdf");
        const std::optional<QString> none;
        QTest::newRow("pdf type") << "scan" << std::optional(QStringLiteral("application/pdf"))
                                  << true;
        QTest::newRow("upper-case extension")
            << "report.PDF" << std::optional(QStringLiteral("application/octet-stream")) << true;
        QTest::newRow("unknown type, pdf extension") << "report.pdf" << none << false;
        QTest::newRow("other type and extension")
            << "notes.txt" << std::optional(QStringLiteral("text/plain")) << false;
    }
    void pdfNeedsAKnownType() {
        QFETCH(QString, name);
        QFETCH(std::optional<QString>, type);
        QFETCH(bool, pdf);
        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/data/") + name);
        QCOMPARE(MainViewController::isPdfDocument(url, type), pdf);
    }

    void secondCallLeavesOneView() {
        MainViewController vc;
        const QUrl url = file(QStringLiteral("twice.txt"), "twice");
        vc.setupPreview(url);
        const QPointer<QWidget> first = vc.previewView;
        vc.setupPreview(url);
        QVERIFY(!first);
        QCOMPARE(vc.previewContainer->findChildren<QWidget*>(Qt::FindDirectChildrenOnly),
                 QList<QWidget*>{vc.previewView});
    }

    void imageTurnedUprightAndDecodedSmall() {
        // A landscape photo whose metadata says to turn it a quarter clockwise.
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(filled(40, 30, Qt::blue).save(&buffer, "JPEG"));
        jpeg.insert(2, QByteArray::fromHex("ffe10022457869660000"         // APP1 "Exif"
                                           "4d4d002a00000008"             // big-endian TIFF header
                                           "0001011200030000000100060000" // orientation 6
                                           "00000000"));
        GeneralPreviewView upright;
        upright.configure(file(QStringLiteral("turned.jpg"), jpeg), QStringLiteral("image/jpeg"));
        QCOMPARE(upright.kind(), GeneralPreviewView::Kind::Image);
        QCOMPARE(static_cast<ImagePreviewView*>(upright.content())->currentImage().size(),
                 QSize(30, 40));

        GeneralPreviewView huge;
        huge.configure(file(QStringLiteral("huge.png"), pngBytes(filled(4096, 1024, Qt::red))),
                       QStringLiteral("image/png"));
        QCOMPARE(static_cast<ImagePreviewView*>(huge.content())->currentImage().size(),
                 QSize(ImagePreviewView::kMaxDecodedSide, ImagePreviewView::kMaxDecodedSide / 4));
    }

    void animatedImagePlays() {
        GeneralPreviewView view;
        view.configure(file(QStringLiteral("blink.gif"), animatedGif()),
                       QStringLiteral("image/gif"));
        QCOMPARE(view.kind(), GeneralPreviewView::Kind::Image);
        auto* image = static_cast<ImagePreviewView*>(view.content());
        QVERIFY(image->isAnimated());
        const auto pixel = [image] { return image->currentImage().pixel(0, 0) & 0xffffff; };
        const QRgb first = pixel();
        QTRY_VERIFY(pixel() != first);
    }

    void textShowsTheStart_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("shown");
        const qint64 limit = GeneralPreviewView::kTextPreviewBytes;
        QTest::newRow("short") << QByteArray("line one\nline two\n")
                               << QStringLiteral("line one\nline two\n");
        QTest::newRow("huge file")
            << QByteArray(limit * 16, 'a') << QString(limit, QLatin1Char('a'));
        // "é" is two bytes; the cut falls between them.
        QTest::newRow("character cut at the limit")
            << QByteArray(limit - 1, 'b') + "\xc3\xa9 and more"
            << QString(limit - 1, QLatin1Char('b'));
    }
    void textShowsTheStart() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, shown);
        GeneralPreviewView view;
        view.configure(file(QStringLiteral("notes.txt"), contents), QStringLiteral("text/plain"));
        QCOMPARE(view.kind(), GeneralPreviewView::Kind::Text);
        auto* text = qobject_cast<QPlainTextEdit*>(view.content());
        QVERIFY(text);
        QCOMPARE(text->toPlainText(), shown);
        QVERIFY(text->isReadOnly());
        QVERIFY(QFontInfo(text->font()).fixedPitch());
    }

    void thumbnailWhenCachedElseCard() {
        const QUrl clip = file(QStringLiteral("clip.mp4"), QByteArray(1500, '\0'));
        GeneralPreviewView withoutThumbnail;
        withoutThumbnail.configure(clip, QStringLiteral("video/mp4"));
        QCOMPARE(withoutThumbnail.kind(), GeneralPreviewView::Kind::Card);
        auto* card = static_cast<FileCardView*>(withoutThumbnail.content());
        QCOMPARE(card->nameText(), QStringLiteral("clip.mp4"));
        QCOMPARE(card->sizeText(), QStringLiteral("1.5 kB"));
        QCOMPARE(card->typeText(), QStringLiteral("MPEG-4 video"));
        QVERIFY(!card->dateText().isEmpty());

        // A thumbnail the desktop made for the file as it is now.
        struct stat st {};
        QVERIFY(::stat(localPath(clip).constData(), &st) == 0);
        const QByteArray uri = clip.toEncoded();
        const QString thumbnails = m_sandbox.root() + QStringLiteral("/cache/thumbnails/normal/");
        QVERIFY(QDir().mkpath(thumbnails));
        QFile thumbnail(
            thumbnails +
            QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
            QStringLiteral(".png"));
        QVERIFY(thumbnail.open(QIODevice::WriteOnly));
        thumbnail.write(pngWithText(
            filled(128, 72, Qt::green),
            {{"Thumb::URI", uri}, {"Thumb::MTime", QByteArray::number(qint64(st.st_mtime))}}));
        thumbnail.close();
        GeneralPreviewView withThumbnail;
        withThumbnail.configure(clip, QStringLiteral("video/mp4"));
        QCOMPARE(withThumbnail.kind(), GeneralPreviewView::Kind::Thumbnail);
        QCOMPARE(static_cast<ImagePreviewView*>(withThumbnail.content())->currentImage().size(),
                 QSize(128, 72));
    }

    // Wherever on the preview the double click lands, the default opens.
    void doubleClickOpensWithDefault_data() {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("folder listing") << folderWithEntries();
        QTest::newRow("text view") << file(QStringLiteral("words.txt"), "many words here\n");
        QTest::newRow("pdf view") << file(QStringLiteral("paper.pdf"), pdfBytes());
        QTest::newRow("image") << file(QStringLiteral("big.png"),
                                       pngBytes(filled(800, 800, Qt::red)));
        QTest::newRow("card") << file(QStringLiteral("movie.mp4"), QByteArray(10, '\0'));
    }
    void doubleClickOpensWithDefault() {
        QFETCH(QUrl, url);
        MainViewController vc;
        vc.resize(520, 420);
        vc.configure({url}, false, true);
        vc.showFiles();
        vc.show();
        QVERIFY(QTest::qWaitForWindowExposed(&vc));
        QVERIFY(vc.previewView);
        // Low in the pane, where the folder's listing is: the innermost widget there.
        const QPoint where(vc.previewContainer->width() / 2, vc.previewContainer->height() * 3 / 4);
        QWidget* target = vc.previewContainer->childAt(where);
        QVERIFY(target && vc.previewView->isAncestorOf(target));
        QTest::mouseDClick(target, Qt::LeftButton, {}, target->mapFrom(vc.previewContainer, where));
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(viewerId).first(), QList<QByteArray>{localPath(url)});
    }

private:
    QUrl file(const QString& name, const QByteArray& contents) {
        return m_sandbox.writeFile(QString::number(++m_files) + QLatin1Char('/') + name, contents);
    }
    QUrl folderUrl(const QString& name) {
        const QString path = m_sandbox.root() + QStringLiteral("/files/") +
                             QString::number(++m_files) + QLatin1Char('/') + name;
        QDir().mkpath(path);
        return QUrl::fromLocalFile(path);
    }
    QUrl folderWithEntries() {
        const QUrl folder = folderUrl(QStringLiteral("listed"));
        for (int i = 0; i < 40; ++i)
            QFile(folder.toLocalFile() + QStringLiteral("/entry %1").arg(i))
                .open(QIODevice::WriteOnly);
        return folder;
    }

    test::XdgSandbox& m_sandbox;
    int m_files = 0;
};

MARVOLINE_TEST_MAIN(TestPreview)
#include "tst_preview.moc"
