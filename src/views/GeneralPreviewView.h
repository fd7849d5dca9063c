#pragma once

#include "platform/DeadlineTask.h"

#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

namespace marvoline {

class ImagePreviewView;
struct ImageFrame;

// The preview of a file that is neither a folder nor a PDF document, by the
// first of these that works: the image itself, the start of a text file, the
// desktop's cached thumbnail, or a card describing the file. The file is read
// and decoded off the window's thread; the view stays empty until then, and
// shows the card when that takes longer than the time limit. What is read
// before the view is first painted is shown at the window's next frame after
// that, as a PDF's first page is: the window's first frame does not wait for
// the text to be laid out, the card to be made or the picture to be scaled.
class GeneralPreviewView : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Pending, Image, Text, Thumbnail, Card };

    // A text file is shown up to here, so that a huge log opens at once.
    static constexpr qint64 kTextPreviewBytes = 64 * 1024;

    explicit GeneralPreviewView(QWidget* parent = nullptr);

    // Starts reading the local file; contentType is its MIME type when known.
    // Called once, right after the view is made.
    void configure(const QUrl& url, const std::optional<QString>& contentType,
                   std::chrono::milliseconds timeLimit = kPreviewTimeLimit);

    Kind kind() const { return m_kind; }
    // The widget that shows the file; null while pending.
    QWidget* content() const { return m_content; }

Q_SIGNALS:
    // The view has its content: the file (the first frame of an animation) or
    // the card.
    void ready();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class GeneralPreviewReader;
    void setContent(QWidget* content, Kind kind);
    // Made when shown: what waits for the frame after the first costs nothing
    // before it.
    void setContent(std::function<QWidget*()> make, Kind kind);
    void present(QWidget* content, Kind kind);
    void presentHeld();
    bool holdsUntilPainted() const;
    void showFirstFrame(const ImageFrame& frame, Kind kind);
    void addFrame(const QImage& image, int delayMs);
    void finishFrames(int loopCount);
    void showText(const QString& text);
    void showCard();

    QUrl m_url;
    std::optional<QString> m_contentType;
    Kind m_kind = Kind::Pending;
    QWidget* m_content = nullptr;
    ImagePreviewView* m_animation = nullptr;
    DeadlineTask* m_task = nullptr;
    // Read before the view was first painted, shown at the frame after: a
    // made widget, or what makes it.
    struct Held {
        QWidget* content = nullptr;
        std::function<QWidget*()> make;
        Kind kind = Kind::Pending;
    };
    bool m_painted = false;
    Held m_held;
};

} // namespace marvoline
