#include "views/GeneralPreviewView.h"

#include "platform/AppRegistry.h"
#include "platform/FileContents.h"
#include "platform/FilePaths.h"
#include "platform/ImageFrames.h"
#include "platform/Platform.h"
#include "platform/Thumbnails.h"
#include "views/FileCardView.h"
#include "views/ImagePreviewView.h"
#include "views/NextFrame.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QVBoxLayout>

#include <utility>

namespace marvoline {

// What runs on the worker: finds the first preview that works and posts it to
// the view, which the channel keeps from being reached once it is gone.
class GeneralPreviewReader {
public:
    using Kind = GeneralPreviewView::Kind;

    QUrl url;
    QByteArray path;
    bool isImage = false;
    bool isText = false;
    GeneralPreviewView* view = nullptr; // touched only in what is posted

    void operator()(const WorkerChannel& channel) const {
        if (isImage && postImage(channel, path, Kind::Image))
            return;
        if (channel.isCancelled())
            return;
        if (isText) {
            const QByteArray start = readFileStart(path, GeneralPreviewView::kTextPreviewBytes);
            if (!start.isEmpty()) {
                // A character cut in two at the end stays in the decoder and is
                // left out; bytes that are not UTF-8 show as replacement characters.
                QStringDecoder decoder(QStringDecoder::Utf8);
                const QString text = decoder(start);
                channel.post([view = view, text] { view->showText(text); });
                return;
            }
        }
        if (channel.isCancelled())
            return;
        if (const std::optional<QByteArray> thumbnail = cachedThumbnailPath(url))
            if (postImage(channel, *thumbnail, Kind::Thumbnail))
                return;
        channel.post([view = view] { view->showCard(); });
    }

private:
    bool postImage(const WorkerChannel& channel, const QByteArray& imagePath, Kind kind) const {
        bool first = true;
        const ImageFramesResult result =
            decodeImageFrames(imagePath, ImageFrameLimits(), [&](ImageFrame frame) {
                if (channel.isCancelled())
                    return false;
                if (std::exchange(first, false)) {
                    channel.post([view = view, frame, kind] { view->showFirstFrame(frame, kind); });
                } else {
                    channel.post(
                        [view = view, frame] { view->addFrame(frame.image, frame.delayMs); });
                }
                return true;
            });
        if (result.frames > 0 && result.animated)
            channel.post([view = view, loops = result.loopCount] { view->finishFrames(loops); });
        return result.frames > 0;
    }
};

GeneralPreviewView::GeneralPreviewView(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void GeneralPreviewView::configure(const QUrl& url, const std::optional<QString>& contentType,
                                   std::chrono::milliseconds timeLimit) {
    m_url = url;
    m_contentType = contentType;
    const QString type = contentType.value_or(QString());
    GeneralPreviewReader reader;
    reader.url = url;
    reader.path = localPath(url);
    reader.isImage = type.startsWith(QLatin1String("image/"));
    // Asked here: the registry belongs to the window's thread.
    reader.isText =
        !type.isEmpty() && platform::registry().contentTypeIsA(type, QStringLiteral("text/plain"));
    reader.view = this;

    delete m_task;
    m_task = new DeadlineTask(timeLimit, this);
    connect(m_task, &DeadlineTask::timedOut, this, &GeneralPreviewView::showCard);
    m_task->start(reader);
}

bool GeneralPreviewView::holdsUntilPainted() const {
    return isVisible() && !m_painted && !rect().isEmpty();
}

void GeneralPreviewView::setContent(QWidget* content, Kind kind) {
    m_task->settle();
    if (holdsUntilPainted()) {
        delete m_held.content;
        content->setParent(this); // hidden until shown
        m_held = {content, nullptr, kind};
        return;
    }
    present(content, kind);
}

void GeneralPreviewView::setContent(std::function<QWidget*()> make, Kind kind) {
    m_task->settle();
    if (holdsUntilPainted()) {
        delete m_held.content;
        m_held = {nullptr, std::move(make), kind};
        return;
    }
    present(make(), kind);
}

void GeneralPreviewView::present(QWidget* content, Kind kind) {
    if (m_content == m_animation)
        m_animation = nullptr;
    delete m_content;
    m_content = content;
    m_kind = kind;
    layout()->addWidget(content);
    // Shown now rather than by the layout's queued call, and the text view's
    // own queued call made, which shows or hides its scroll bars for its text
    // at its size: the frame at hand draws the content as it stays, not with a
    // scroll bar that the next frame takes away.
    content->show();
    QCoreApplication::sendPostedEvents(content, QEvent::MetaCall);
    // Drawn in the frame at hand (see showInOneFrame).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
    Q_EMIT ready();
}

void GeneralPreviewView::presentHeld() {
    Held held = std::exchange(m_held, {});
    if (held.content)
        present(held.content, held.kind);
    else if (held.make)
        present(held.make(), held.kind);
}

void GeneralPreviewView::paintEvent(QPaintEvent*) {
    if (std::exchange(m_painted, true) || (!m_held.content && !m_held.make))
        return;
    atNextFrame(this, [this] { presentHeld(); });
}

void GeneralPreviewView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Never drawn at no size: what waits for the first frame comes now.
    if (rect().isEmpty() && !m_painted)
        presentHeld();
}

void GeneralPreviewView::showFirstFrame(const ImageFrame& frame, Kind kind) {
    auto* view = new ImagePreviewView;
    if (frame.animated) {
        view->addFrame(frame.image, frame.delayMs);
        m_animation = view;
    } else {
        view->setImage(frame.image);
    }
    setContent(view, kind);
}

void GeneralPreviewView::addFrame(const QImage& image, int delayMs) {
    if (m_animation)
        m_animation->addFrame(image, delayMs);
}

void GeneralPreviewView::finishFrames(int loopCount) {
    if (m_animation)
        m_animation->finishFrames(loopCount);
}

void GeneralPreviewView::showText(const QString& text) {
    // Laid out in its font when shown, not before the window's first frame; the
    // card below likewise.
    setContent(
        [text] {
            auto* view = new QPlainTextEdit;
            view->setReadOnly(true);
            view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            view->setFrameShape(QFrame::NoFrame);
            view->setPlainText(text);
            return view;
        },
        Kind::Text);
}

void GeneralPreviewView::showCard() {
    setContent(
        [this] {
            auto* card = new FileCardView;
            card->configure(m_url, m_contentType);
            return card;
        },
        Kind::Card);
}

} // namespace marvoline
