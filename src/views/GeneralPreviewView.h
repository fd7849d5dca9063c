#pragma once

#include <QUrl>
#include <QWidget>

#include <optional>

namespace marvoline {

// The preview of a file that is neither a folder nor a PDF document, by the
// first of these that works: the image itself, the start of a text file, the
// desktop's cached thumbnail, or a card describing the file.
class GeneralPreviewView : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Image, Text, Thumbnail, Card };

    // A text file is shown up to here, so that a huge log opens at once.
    static constexpr qint64 kTextPreviewBytes = 64 * 1024;

    explicit GeneralPreviewView(QWidget* parent = nullptr);

    // Fills the view for the local file; contentType is its MIME type when
    // known. Called once, right after the view is made.
    void configure(const QUrl& url, const std::optional<QString>& contentType);

    Kind kind() const { return m_kind; }
    // The widget that shows the file.
    QWidget* content() const { return m_content; }

private:
    void setContent(QWidget* content, Kind kind);
    bool showImage(const QByteArray& path, Kind kind);
    bool showText(const QByteArray& path);

    Kind m_kind = Kind::Card;
    QWidget* m_content = nullptr;
};

} // namespace marvoline
