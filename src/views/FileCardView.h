#pragma once

#include <QUrl>
#include <QWidget>

#include <optional>

class QLabel;

namespace marvoline {

// The preview of a file that cannot be shown itself: its icon, name, type,
// size and modification date, centred in the view.
class FileCardView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kIconSize = 96;

    explicit FileCardView(QWidget* parent = nullptr);

    // Fills the card for the local file; contentType is the file's MIME type
    // when known.
    void configure(const QUrl& url, const std::optional<QString>& contentType);

    QString nameText() const;
    QString typeText() const;
    QString sizeText() const;
    QString dateText() const;

private:
    QLabel* m_icon;
    QLabel* m_name;
    QLabel* m_type;
    QLabel* m_size;
    QLabel* m_date;
};

} // namespace marvoline
