// What each item of the copy menu puts on the clipboard, and which items a
// file gets.
#include "chooser/CopyContent.h"

#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QStringDecoder>

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

QString suffixOf(const QUrl& file) {
    return QFileInfo(QFile::decodeName(localPath(file))).suffix().toLower();
}

std::optional<QString> readText(const QUrl& file) {
    QFile f(QFile::decodeName(localPath(file)));
    if (!f.open(QIODevice::ReadOnly) || f.size() > maxTextCopyBytes)
        return std::nullopt;
    // The size may change under us: never read past the limit.
    const QByteArray bytes = f.read(maxTextCopyBytes + 1);
    if (bytes.size() > maxTextCopyBytes || f.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QByteArray gnomeCopiedFiles(const QList<QUrl>& files) {
    QByteArray data = "copy";
    for (const QUrl& file : files)
        data += '\n' + file.toEncoded();
    return data;
}

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

    AppRegistry& registry = platform::registry();
    const QString type = registry.contentType(file).value_or(QString());
    const QString suffix = suffixOf(file);
    CopyKinds kinds;
    kinds.isText = (!type.isEmpty() && isTextType(registry, type)) || textSuffixes.contains(suffix);
    kinds.isImage = type.startsWith(QStringLiteral("image/")) || imageSuffixes.contains(suffix);
    return kinds;
}

bool isFolder(const QUrl& file) {
    return QFileInfo(QFile::decodeName(localPath(file))).isDir();
}

std::unique_ptr<QMimeData> copyContent(CopyTag tag, const QList<QUrl>& files) {
    if (files.isEmpty())
        return nullptr;
    const QUrl& first = files.first();
    const bool folder = isFolder(first);
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
    case CopyTag::Text: {
        if (folder)
            return nullptr;
        const std::optional<QString> text = readText(first);
        if (!text)
            return nullptr;
        data->setText(*text);
        return data;
    }
    case CopyTag::Image: {
        if (folder)
            return nullptr;
        QImageReader reader(QFile::decodeName(localPath(first)));
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        if (image.isNull())
            return nullptr;
        data->setImageData(image);
        return data;
    }
    case CopyTag::Header:
        break;
    }
    return nullptr;
}

} // namespace marvoline
