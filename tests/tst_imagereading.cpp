// PNG files read by Qt's own decoder without loading an image format plugin:
// the pictures are those Qt's reader gives, whichever way it is asked, broken
// files fail as they did, and the plugins come with the files that need them.
#include "support/HostileFiles.h"
#include "support/TestMain.h"

#include "platform/PngReading.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QLibraryInfo>
#include <QPixmap>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <future>

using namespace marvoline;
using namespace Qt::StringLiterals;

namespace {

using Read = std::function<QImage(const QString& path)>;

// The image format plugins mapped into this process.
QStringList loadedImagePlugins() {
    QFile maps(u"/proc/self/maps"_s);
    if (!maps.open(QIODevice::ReadOnly))
        return {u"(unreadable /proc/self/maps)"_s};
    QStringList plugins;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const qsizetype at = line.indexOf("/imageformats/");
        if (at >= 0 && !plugins.contains(QString::fromUtf8(line.mid(at))))
            plugins.append(QString::fromUtf8(line.mid(at)));
    }
    return plugins;
}

// The largest difference of a colour channel or alpha between the pictures,
// or 256 when their sizes differ.
int largestDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 256;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            largest =
                std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return largest;
}

// As a pixmap keeps it, so that pictures read either way compare exactly.
QImage premultiplied(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Colours and alpha that differ from pixel to pixel, at an odd size.
QImage sourceImage() {
    QImage image(41, 29, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 6, y * 8, (x * y) % 256, 40 + (x + y) * 2));
    }
    return image;
}

} // namespace

class TestImageReading final : public QObject {
    Q_OBJECT

public:
    explicit TestImageReading(test::XdgSandbox&) {}

private:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }

    QTemporaryDir m_dir;
    QImage m_source = sourceImage();
    QByteArray m_png;
    QString m_path;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY2(loadedImagePlugins().isEmpty(), qPrintable(loadedImagePlugins().join(u' ')));
        // Twice, as a second call must be harmless.
        readPngWithoutPlugins();
        readPngWithoutPlugins();
        m_png = test::rgbaPng(m_source);
        m_path = write(u"picture.png"_s, m_png);
        QVERIFY(!m_path.isEmpty());
    }

    void readsAsQtDoes_data() {
        QTest::addColumn<Read>("read");
        QTest::newRow("reader on the file")
            << Read([](const QString& path) { return QImageReader(path).read(); });
        QTest::newRow("reader on an open file") << Read([](const QString& path) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return QImage();
            QImageReader reader(&file);
            return reader.canRead() ? reader.read() : QImage();
        });
        QTest::newRow("pixmap") << Read(
            [](const QString& path) { return QPixmap(path).toImage(); });
        QTest::newRow("icon of the file, as the theme's") << Read(
            [](const QString& path) { return QIcon(path).pixmap(QSize(41, 29)).toImage(); });
        QTest::newRow("reader on another thread") << Read([](const QString& path) {
            return std::async(std::launch::async, [path] { return QImageReader(path).read(); })
                .get();
        });
    }
    void readsAsQtDoes() {
        QFETCH(Read, read);
        QCOMPARE(premultiplied(read(m_path)), premultiplied(m_source));
        QCOMPARE(loadedImagePlugins(), QStringList());
    }

    void readerOptions_data() {
        QTest::addColumn<QSize>("scaledSize");
        QTest::addColumn<QRect>("clipRect");
        QTest::addColumn<QRect>("scaledClipRect");
        QTest::addColumn<QImage>("expected");
        const QImage source = sourceImage();
        QTest::newRow("as it is") << QSize() << QRect() << QRect() << source;
        QTest::newRow("scaled") << QSize(20, 15) << QRect() << QRect()
                                << source.scaled(20, 15, Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation);
        QTest::newRow("clipped") << QSize() << QRect(5, 3, 10, 7) << QRect()
                                 << source.copy(5, 3, 10, 7);
        QTest::newRow("clipped, then scaled")
            << QSize(20, 14) << QRect(1, 1, 40, 28) << QRect()
            << source.copy(1, 1, 40, 28)
                   .scaled(20, 14, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QTest::newRow("scaled, then clipped")
            << QSize(20, 15) << QRect() << QRect(2, 2, 8, 8)
            << source.scaled(20, 15, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   .copy(2, 2, 8, 8);
    }
    void readerOptions() {
        QFETCH(QSize, scaledSize);
        QFETCH(QRect, clipRect);
        QFETCH(QRect, scaledClipRect);
        QFETCH(QImage, expected);
        QImageReader reader(m_path);
        QVERIFY(reader.canRead());
        QCOMPARE(reader.format(), QByteArray("png"));
        // Known before the pixels are read, as Qt's decoder tells it.
        QCOMPARE(reader.size(), m_source.size());
        reader.setScaledSize(scaledSize);
        reader.setClipRect(clipRect);
        reader.setScaledClipRect(scaledClipRect);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        // Scaled as Qt's decoder scales, which smooths in steps of its own.
        QCOMPARE(image.size(), expected.size());
        QCOMPARE_LE(largestDifference(image, expected), scaledSize.isValid() ? 8 : 0);
        // One picture: the next read finds none.
        QVERIFY(reader.read().isNull());
        QCOMPARE(loadedImagePlugins(), QStringList());
    }

    void brokenFilesFail_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("png"); // by its signature
        const QByteArray png = test::rgbaPng(sourceImage());
        QTest::newRow("signature only") << png.left(8) << true;
        QTest::newRow("cut in the pixels") << png.left(png.size() / 2) << true;
        QByteArray badSum = png;
        badSum[29] = char(badSum[29] ^ 0x55); // the header's checksum
        QTest::newRow("header's checksum wrong") << badSum << true;
        // Then Qt asks the plugins whether they know the contents.
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("text") << QByteArray("not a picture\n") << false;
    }
    void brokenFilesFail() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, png);
        const QString path = write(QString::fromLatin1(QTest::currentDataTag()) + u".png"_s, bytes);
        QVERIFY(!path.isEmpty());
        QImageReader reader(path);
        QCOMPARE(reader.canRead(), png);
        QVERIFY(reader.read().isNull());
        QVERIFY(QPixmap(path).isNull());
        if (png)
            QCOMPARE(loadedImagePlugins(), QStringList());
    }

    // A reader told the format asks the plugins first, as before.
    void toldTheFormat_data() {
        QTest::addColumn<Read>("read");
        QTest::newRow("reader") << Read(
            [](const QString& path) { return QImageReader(path, "PNG").read(); });
        QTest::newRow("bytes") << Read([](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? QImage::fromData(file.readAll(), "png")
                                                  : QImage();
        });
        QTest::newRow("bytes, format not given") << Read([](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? QImage::fromData(file.readAll()) : QImage();
        });
    }
    void toldTheFormat() {
        QFETCH(Read, read);
        QCOMPARE(premultiplied(read(m_path)), premultiplied(m_source));
    }

    // Last: it loads the plugins the others check are not loaded.
    void pluginsComeWithTheFilesThatNeedThem() {
        const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) + u"/imageformats"_s);
        if (plugins.entryList({u"libqgif*"_s, u"libqjpeg*"_s}, QDir::Files).size() < 2)
            QSKIP("Qt's GIF and JPEG plugins are not installed here");
        const QString gif = write(u"moving.gif"_s, test::animatedGif({4, 4}, 2, 10));
        QVERIFY(!QImageReader(gif).read().isNull());
        QVERIFY2(loadedImagePlugins().join(u' ').contains(u"libqgif"_s),
                 qPrintable(loadedImagePlugins().join(u' ')));
        // A JPEG named .png is read as the JPEG it is.
        QByteArray jpeg;
        QBuffer jpegBuffer(&jpeg);
        QVERIFY(jpegBuffer.open(QIODevice::WriteOnly));
        QVERIFY(m_source.save(&jpegBuffer, "JPEG"));
        QImageReader misnamed(write(u"photo.png"_s, jpeg));
        QCOMPARE(misnamed.format(), QByteArray("jpeg"));
        QCOMPARE(misnamed.read().size(), m_source.size());
    }
};

MARVOLINE_TEST_MAIN(TestImageReading)
#include "tst_imagereading.moc"
