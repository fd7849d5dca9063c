// What each item of the copy menu puts on the clipboard, and which items a
// file gets.
#include "chooser/CopyContent.h"

#include "platform/AppRegistry.h"
#include "platform/FileContents.h"
#include "platform/FilePaths.h"
#include "platform/Logging.h"
#include "platform/Platform.h"

#include <QFile>
#include <QImageReader>
#include <QMimeData>
#include <QStringDecoder>

#include <cmath>

#include <sys/stat.h>

namespace marvoline {

namespace {

bool sameType(AppRegistry& registry, const QString& type, const QString& other) {
    // Both ways round: equal, or an alias of the other.
    return registry.contentTypeIsA(type, other) && registry.contentTypeIsA(other, type);
}

bool isTextType(AppRegistry& registry, const QString& type) {
    if (registry.contentTypeIsA(type, QStringLiteral("text/plain")))
        return true;
    for (const char* text :
         {"text/rtf", "application/rtf", "text/html", "application/xml", "text/xml"}) {
        if (sameType(registry, type, QString::fromLatin1(text)))
            return true;
    }
    return false;
}

// The extension of the path's last component, in lower case; names need not
// be UTF-8, extensions worth comparing are ASCII.
QString suffixOf(const QByteArray& path) {
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : QString::fromUtf8(name.mid(dot + 1)).toLower();
}

bool isRegularFile(const QByteArray& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Control characters do not occur in text, except those of its layout (and
// the escape of coloured terminal logs).
bool looksLikeText(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 || u == 0x7f) && u != '\t' && u != '\n' && u != '\v' && u != '\f' &&
            u != '\r' && u != 0x1b && u != '\b')
            return false;
    }
    return true;
}

std::optional<QString> decodeWith(QStringDecoder decoder, const QByteArray& bytes) {
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || !looksLikeText(text))
        return std::nullopt;
    return text;
}

QByteArray gnomeCopiedFiles(const QList<QUrl>& files) {
    QByteArray data = "copy";
    for (const QUrl& file : files)
        data += '\n' + file.toEncoded();
    return data;
}

// Bytes per pixel of the decoded image, as Qt counts them against its limit
// for the formats most files decode to.
constexpr qint64 kBytesPerPixel = 4;

} // namespace

CopyKinds copyKinds(const QUrl& file) {
    static const QStringList textSuffixes = {
        QStringLiteral("txt"), QStringLiteral("md"),    QStringLiteral("json"),
        QStringLiteral("xml"), QStringLiteral("html"),  QStringLiteral("css"),
        QStringLiteral("js"),  QStringLiteral("swift"), QStringLiteral("py")};
    static const QStringList imageSuffixes = {QStringLiteral("png"),  QStringLiteral("jpg"),
                                              QStringLiteral("jpeg"), QStringLiteral("gif"),
                                              QStringLiteral("tiff"), QStringLiteral("bmp"),
                                              QStringLiteral("webp")};

    const QByteArray path = localPath(file);
    CopyKinds kinds;
    if (!isRegularFile(path))
        return kinds;
    AppRegistry& registry = platform::registry();
    const QString type = registry.contentType(file).value_or(QString());
    const QString suffix = suffixOf(path);
    kinds.isText = (!type.isEmpty() && isTextType(registry, type)) || textSuffixes.contains(suffix);
    kinds.isImage = type.startsWith(QStringLiteral("image/")) || imageSuffixes.contains(suffix);
    return kinds;
}

bool isFolder(const QUrl& file) {
    const QByteArray path = localPath(file);
    struct stat st {};
    return !path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::unique_ptr<QMimeData> copyContent(CopyTag tag, const QList<QUrl>& files) {
    if (files.isEmpty())
        return nullptr;
    const QUrl& first = files.first();
    auto data = std::make_unique<QMimeData>();
    switch (tag) {
    case CopyTag::Name:
        data->setText(displayFileName(first));
        return data;
    case CopyTag::File:
        data->setUrls(files);
        // File managers paste what they find under this type.
        data->setData(QStringLiteral("x-special/gnome-copied-files"), gnomeCopiedFiles(files));
        return data;
    case CopyTag::Path:
        data->setText(QFile::decodeName(localPath(first)));
        return data;
    case CopyTag::Text:
    case CopyTag::Image:
    case CopyTag::Header:
        break;
    }
    return nullptr;
}

std::optional<QString> decodeFileText(const QByteArray& bytes) {
    // A byte order mark names the encoding.
    if (const std::optional<QStringConverter::Encoding> marked =
            QStringConverter::encodingForData(bytes))
        return decodeWith(QStringDecoder(*marked), bytes);
    if (std::optional<QString> utf8 = decodeWith(QStringDecoder(QStringDecoder::Utf8), bytes))
        return utf8;
    // An HTML file may say its charset in a meta element.
    QStringDecoder html = QStringDecoder::decoderForHtml(bytes);
    if (html.isValid() && QByteArrayView(html.name()).compare("UTF-8", Qt::CaseInsensitive) != 0) {
        if (std::optional<QString> declared = decodeWith(std::move(html), bytes))
            return declared;
    }
    // Eight-bit text without a word on its encoding: Windows' Western code page
    // where the bytes use its printable range above 0x7f, else Latin-1.
    if (std::optional<QString> windows = decodeWith(QStringDecoder("windows-1252"), bytes))
        return windows;
    return decodeWith(QStringDecoder(QStringDecoder::Latin1), bytes);
}

ReadForCopy readTextForCopy(const QByteArray& path) {
    ReadForCopy result;
    const std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file) {
        result.failure = CopyFailure::Unreadable;
        return result;
    }
    if (file->size() > maxTextCopyBytes) {
        result.failure = CopyFailure::TooLarge;
        return result;
    }
    // The size may change under us: never read past the limit.
    const QByteArray bytes = file->read(maxTextCopyBytes + 1);
    if (file->error() != QFileDevice::NoError) {
        qCWarning(lcMarvoline) << "could not read the text to copy:" << file->errorString();
        result.failure = CopyFailure::Unreadable;
    } else if (bytes.size() > maxTextCopyBytes) {
        result.failure = CopyFailure::TooLarge;
    } else if (std::optional<QString> text = decodeFileText(bytes)) {
        result.text = std::move(text);
    } else {
        result.failure = CopyFailure::NotText;
    }
    return result;
}

ReadForCopy readImageForCopy(const QByteArray& path) {
    ReadForCopy result;
    const std::unique_ptr<QFile> file = openRegularFile(path);
    if (!file) {
        result.failure = CopyFailure::Unreadable;
        return result;
    }
    QImageReader reader(file.get());
    reader.setAutoTransform(true);
    // An image larger than Qt decodes at all is copied scaled down to fit.
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    const QSize size = reader.size();
    if (limit > 0 && size.isValid() && !size.isEmpty()) {
        const qint64 bytes = qint64(size.width()) * size.height() * kBytesPerPixel;
        if (bytes > limit) {
            // A little under the limit: the decoder may round up.
            const double scale = std::sqrt(double(limit) / double(bytes)) * 0.98;
            reader.setScaledSize(
                QSize(qMax(1, int(size.width() * scale)), qMax(1, int(size.height() * scale))));
        }
    }
    result.image = reader.read();
    if (result.image.isNull()) {
        qCWarning(lcMarvoline) << "could not read the image to copy:" << reader.errorString();
        result.failure = CopyFailure::NotImage;
    }
    return result;
}

std::unique_ptr<QMimeData> copyContent(const ReadForCopy& read) {
    if (read.failure != CopyFailure::None)
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    if (read.text)
        data->setText(*read.text);
    else if (!read.image.isNull())
        data->setImageData(read.image);
    else
        return nullptr;
    return data;
}

} // namespace marvoline
