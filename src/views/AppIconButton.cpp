#include "views/AppIconButton.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace marvoline {

namespace {

constexpr int kIconTop = 4;
constexpr int kLabelGap = 2;     // name label below the icon
constexpr int kLabelInset = 8;   // labels from the tile's left and right edges
constexpr int kBottomMargin = 4; // least room below the version label
constexpr qreal kBackgroundInsetX = 8;
constexpr qreal kBackgroundInsetY = 2;
constexpr qreal kBackgroundRadius = 8;
constexpr qreal kBackgroundAlpha = 0.15;
constexpr qreal kFillAlpha = 0.5;
constexpr double kSmallestDrawnProgress = 0.001;
constexpr int kNameFontPixels = 11;
constexpr int kVersionFontPixels = 9;

QLabel* makeLabel(QWidget* parent, int pixelSize) {
    auto* label = new QLabel(parent);
    // Application names are shown as they are, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(false);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    // Presses anywhere on the tile belong to the tile.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

// A tool tip shows markup when the text looks like it; keep names literal.
QString plainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace

AppIconButton::AppIconButton(QWidget* parent)
    : QWidget(parent)
    // The tile owns its three subviews for its whole life; they are made and
    // placed once, here, so moving the tile to another parent never adds more.
    , m_imageView(new QLabel(this))
    , m_label(makeLabel(this, kNameFontPixels))
    , m_versionLabel(makeLabel(this, kVersionFontPixels)) {
    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setFixedSize(kIconSize, kIconSize);
    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_versionLabel->setForegroundRole(QPalette::PlaceholderText);

    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedWidth(kWidth);
    setCursor(Qt::PointingHandCursor);
    resize(sizeHint());
    layoutSubviews();
}

void AppIconButton::configure(const std::optional<QIcon>& icon, const QString& title,
                              const std::optional<QString>& version, bool isDefault) {
    m_icon = icon;
    updateIcon();

    m_title = title;
    m_version = version.value_or(QString());
    updateTexts();
    // Hidden exactly when there is no version: an empty one keeps its line.
    m_versionLabel->setHidden(!version.has_value());

    QString tip = title;
    if (version)
        tip += QLatin1Char(' ') + *version;
    const QString shownTip = plainToolTip(tip);
    setToolTip(shownTip);
    m_label->setToolTip(shownTip);

    m_isDefaultApp = isDefault;
    updateGeometry();
    update();
}

void AppIconButton::setFillProgress(double progress) {
    if (std::isnan(progress))
        progress = 0.0;
    m_fillProgress = std::clamp(progress, 0.0, 1.0);
    update();
}

QRectF AppIconButton::backgroundRect() const {
    return QRectF(rect()).adjusted(kBackgroundInsetX, kBackgroundInsetY, -kBackgroundInsetX,
                                   -kBackgroundInsetY);
}

int AppIconButton::contentHeight() const {
    return kIconTop + kIconSize + kLabelGap + QFontMetrics(m_label->font()).height() +
           QFontMetrics(m_versionLabel->font()).height() + kBottomMargin;
}

QSize AppIconButton::sizeHint() const {
    // 56 high unless the two text lines need more room below the icon.
    return QSize(kWidth, std::max(kHeight, contentHeight()));
}

QSize AppIconButton::minimumSizeHint() const {
    return sizeHint();
}

void AppIconButton::paintEvent(QPaintEvent*) {
    if (!m_isDefaultApp)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QRectF inset = backgroundRect();
    QPainterPath path;
    path.addRoundedRect(inset, kBackgroundRadius, kBackgroundRadius);
    QColor background(Qt::gray);
    background.setAlphaF(kBackgroundAlpha);
    painter.fillPath(path, background);

    if (m_fillProgress > kSmallestDrawnProgress) {
        // Grows from the top edge downwards, inside the rounded corners.
        const QRectF band(inset.left(), inset.top(), inset.width(),
                          inset.height() * m_fillProgress);
        QColor accent = palette().color(QPalette::Highlight);
        accent.setAlphaF(kFillAlpha);
        painter.save();
        painter.setClipPath(path);
        painter.fillRect(band, accent);
        painter.restore();
    }
}

void AppIconButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (onClick) {
        // A copy: the handler may rebuild the row and delete this tile.
        const std::function<void()> handler = onClick;
        handler();
    }
}

void AppIconButton::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutSubviews();
    updateTexts();
}

void AppIconButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        layoutSubviews();
        updateTexts();
        updateGeometry();
    }
}

void AppIconButton::layoutSubviews() {
    const int labelWidth = std::max(0, width() - 2 * kLabelInset);
    const int nameHeight = QFontMetrics(m_label->font()).height();
    const int versionHeight = QFontMetrics(m_versionLabel->font()).height();
    m_imageView->setGeometry((width() - kIconSize) / 2, kIconTop, kIconSize, kIconSize);
    const int nameTop = kIconTop + kIconSize + kLabelGap;
    m_label->setGeometry(kLabelInset, nameTop, labelWidth, nameHeight);
    m_versionLabel->setGeometry(kLabelInset, nameTop + nameHeight, labelWidth, versionHeight);
}

void AppIconButton::updateTexts() {
    const int labelWidth = std::max(0, width() - 2 * kLabelInset);
    m_label->setText(
        QFontMetrics(m_label->font()).elidedText(m_title, Qt::ElideMiddle, labelWidth));
    m_versionLabel->setText(
        QFontMetrics(m_versionLabel->font()).elidedText(m_version, Qt::ElideRight, labelWidth));
}

void AppIconButton::updateIcon() {
    if (!m_icon || m_icon->isNull()) {
        m_imageView->clear();
        return;
    }
    const QSize box(kIconSize, kIconSize);
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = m_icon->pixmap(box, ratio);
    if (pixmap.isNull()) {
        m_imageView->clear();
        return;
    }
    // QIcon only scales down; a smaller image is scaled up to fit as well,
    // keeping its proportions.
    const QSize deviceBox = box * ratio;
    if (pixmap.width() < deviceBox.width() && pixmap.height() < deviceBox.height()) {
        pixmap = pixmap.scaled(deviceBox, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
    }
    m_imageView->setPixmap(pixmap);
}

} // namespace marvoline
