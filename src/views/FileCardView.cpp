#include "views/FileCardView.h"

#include "platform/FileIcons.h"
#include "platform/FilePaths.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace marvoline {

namespace {

QLabel* makeLine(QWidget* parent, QPalette::ColorRole role) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    label->setForegroundRole(role);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

FileCardView::FileCardView(QWidget* parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_name(makeLine(this, QPalette::WindowText))
    , m_type(makeLine(this, QPalette::PlaceholderText))
    , m_size(makeLine(this, QPalette::PlaceholderText))
    , m_date(makeLine(this, QPalette::PlaceholderText)) {
    m_icon->setAlignment(Qt::AlignCenter);
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_icon);
    layout->addSpacing(8);
    for (QLabel* line : {m_name, m_type, m_size, m_date})
        layout->addWidget(line);
    layout->addStretch(1);
}

void FileCardView::configure(const QUrl& url, const std::optional<QString>& contentType) {
    m_icon->setPixmap(iconForFile(url).pixmap(QSize(kIconSize, kIconSize)));
    m_name->setText(displayFileName(url));

    const QMimeDatabase mimeDatabase;
    const QMimeType mime = contentType ? mimeDatabase.mimeTypeForName(*contentType) : QMimeType();
    m_type->setText(mime.isValid() ? mime.comment() : contentType.value_or(QString()));

    const QLocale locale;
    struct stat st {};
    const QByteArray path = localPath(url);
    if (!path.isEmpty() && ::stat(path.constData(), &st) == 0) {
        m_size->setText(locale.formattedDataSize(st.st_size, 1, QLocale::DataSizeSIFormat));
        const QDateTime modified = QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                                                  st.st_mtim.tv_nsec / 1000000);
        m_date->setText(locale.toString(modified, QLocale::ShortFormat));
    }
}

QString FileCardView::nameText() const {
    return m_name->text();
}
QString FileCardView::typeText() const {
    return m_type->text();
}
QString FileCardView::sizeText() const {
    return m_size->text();
}
QString FileCardView::dateText() const {
    return m_date->text();
}

} // namespace marvoline
