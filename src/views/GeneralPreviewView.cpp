#include "views/GeneralPreviewView.h"

#include "platform/AppRegistry.h"
#include "platform/FileContents.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/Thumbnails.h"
#include "views/FileCardView.h"
#include "views/ImagePreviewView.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace marvoline {

GeneralPreviewView::GeneralPreviewView(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void GeneralPreviewView::configure(const QUrl& url, const std::optional<QString>& contentType) {
    const QByteArray path = localPath(url);
    const QString type = contentType.value_or(QString());
    if (type.startsWith(QLatin1String("image/")) && showImage(path, Kind::Image))
        return;
    if (!type.isEmpty() &&
        platform::registry().contentTypeIsA(type, QStringLiteral("text/plain")) && showText(path))
        return;
    if (const std::optional<QByteArray> thumbnail = cachedThumbnailPath(url))
        if (showImage(*thumbnail, Kind::Thumbnail))
            return;
    auto* card = new FileCardView;
    card->configure(url, contentType);
    setContent(card, Kind::Card);
}

void GeneralPreviewView::setContent(QWidget* content, Kind kind) {
    delete m_content;
    m_content = content;
    m_kind = kind;
    layout()->addWidget(content);
}

bool GeneralPreviewView::showImage(const QByteArray& path, Kind kind) {
    auto* image = new ImagePreviewView;
    if (!image->load(path)) {
        delete image;
        return false;
    }
    setContent(image, kind);
    return true;
}

bool GeneralPreviewView::showText(const QByteArray& path) {
    const QByteArray start = readFileStart(path, kTextPreviewBytes);
    if (start.isEmpty())
        return false;
    // A character cut in two at the end stays in the decoder and is left out;
    // bytes that are not UTF-8 show as replacement characters.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(start);

    auto* view = new QPlainTextEdit;
    view->setReadOnly(true);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setFrameShape(QFrame::NoFrame);
    view->setPlainText(text);
    setContent(view, Kind::Text);
    return true;
}

} // namespace marvoline
