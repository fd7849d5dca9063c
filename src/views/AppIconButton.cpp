#include "views/AppIconButton.h"

#include "views/Appearance.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
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
constexpr qreal kNamePoints = 11;
constexpr qreal kVersionPoints = 9;

QLabel* makeLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    // Application names are shown as they are, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(false);
    // Presses anywhere on the tile belong to the tile.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

// top laid with the opacity over bottom.
QColor over(const QColor& top, qreal opacity, const QColor& bottom) {
    const auto mix = [opacity](double a, double b) { return a * opacity + b * (1.0 - opacity); };
    return QColor::fromRgbF(float(mix(top.redF(), bottom.redF())),
                            float(mix(top.greenF(), bottom.greenF())),
                            float(mix(top.blueF(), bottom.blueF())));
}

// The default tile's grey ground, as it shows over the window.
QColor tileGround(const QPalette& palette) {
    return over(QColor(Qt::gray), kBackgroundAlpha, palette.color(QPalette::Window));
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
    : QAbstractButton(parent)
    // The tile owns its three subviews for its whole life; they are made and
    // placed once, here, so moving the tile to another parent never adds more.
    , m_imageView(new QLabel(this))
    , m_label(makeLabel(this))
    , m_versionLabel(makeLabel(this)) {
    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setFixedSize(kIconSize, kIconSize);
    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_versionLabel->setForegroundRole(QPalette::PlaceholderText);

    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedWidth(kWidth);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    // Space, Enter and an assistive technology's press action end here; a
    // mouse press runs the action at once instead (mousePressEvent).
    connect(this, &QAbstractButton::clicked, this, &AppIconButton::runOnClick);
    updateFonts();
    updateColors();
    resize(sizeHint());
    layoutSubviews();
}

void AppIconButton::configure(const std::optional<QIcon>& icon, const QString& title,
                              const std::optional<QString>& version, bool isDefault) {
    m_icon = icon;
    updateIcon();

    m_title = title;
    m_version = version;
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
    updateColors();
    updateAccessibleTexts();
    updateGeometry();
    update();
}

void AppIconButton::setAutoOpening(bool autoOpening) {
    if (m_autoOpening == autoOpening)
        return;
    m_autoOpening = autoOpening;
    updateAccessibleTexts();
}

void AppIconButton::updateAccessibleTexts() {
    //% "Open with %1"
    setAccessibleName(qtTrId("ui.a11y.openWith").arg(m_title));
    QStringList description;
    if (m_version && !m_version->isEmpty()) {
        //% "Version %1."
        description.append(qtTrId("ui.a11y.version").arg(*m_version));
    }
    if (m_autoOpening) {
        //% "Default application: opens when the countdown ends."
        description.append(qtTrId("ui.a11y.autoOpen"));
    }
    setAccessibleDescription(description.join(QLatin1Char(' ')));
    // The labels carry the whole texts, not the elided ones they show.
    m_label->setAccessibleName(m_title);
    m_versionLabel->setAccessibleName(m_version.value_or(QString()));
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
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (hasFocus())
        paintFocusRing(painter);
    if (!m_isDefaultApp)
        return;
    painter.setPen(Qt::NoPen);

    const QRectF inset = backgroundRect();
    QPainterPath path;
    path.addRoundedRect(inset, kBackgroundRadius, kBackgroundRadius);
    // The grey and the accent are laid over the window's colour here and
    // drawn opaque, as they show: a translucent fill this tall is split by
    // the raster engine across Qt's painting threads, which the first frame
    // would start and wait for.
    const QColor ground = tileGround(palette());
    painter.fillPath(path, ground);

    if (m_fillProgress > kSmallestDrawnProgress) {
        // Grows from the top edge downwards, inside the rounded corners.
        const QRectF band(inset.left(), inset.top(), inset.width(),
                          inset.height() * m_fillProgress);
        painter.save();
        painter.setClipPath(path);
        painter.fillRect(band, over(palette().color(QPalette::Highlight), kFillAlpha, ground));
        painter.restore();
    }
}

void AppIconButton::paintFocusRing(QPainter& painter) const {
    QPen pen(palette().color(QPalette::Highlight), kFocusRingWidth);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal half = kFocusRingWidth / 2;
    painter.drawRoundedRect(backgroundRect().adjusted(half, half, -half, -half), kBackgroundRadius,
                            kBackgroundRadius);
}

void AppIconButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    runOnClick();
}

void AppIconButton::runOnClick() {
    if (onClick) {
        // A copy: the handler may rebuild the row and delete this tile.
        const std::function<void()> handler = onClick;
        handler();
    }
}

void AppIconButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->isAutoRepeat())
            break;
        event->accept();
        click();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        event->accept();
        focusNeighbour(event->key());
        return;
    default:
        break;
    }
    // Space presses the tile; everything else (Tab, Escape) goes on.
    QAbstractButton::keyPressEvent(event);
}

void AppIconButton::focusNeighbour(int key) {
    QWidget* row = parentWidget();
    if (!row)
        return;
    QList<AppIconButton*> tiles;
    for (AppIconButton* tile :
         row->findChildren<AppIconButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (tile->isVisibleTo(row))
            tiles.append(tile);
    }
    // The row holds its tiles in the order they were added, which is the
    // order on screen; a right-to-left layout shows them mirrored.
    std::sort(tiles.begin(), tiles.end(),
              [](const AppIconButton* a, const AppIconButton* b) { return a->x() < b->x(); });
    const auto index = tiles.indexOf(this);
    if (index < 0)
        return;
    qsizetype target = index;
    if (key == Qt::Key_Home)
        target = 0;
    else if (key == Qt::Key_End)
        target = tiles.size() - 1;
    else if (key == Qt::Key_Right)
        target = index + 1;
    else
        target = index - 1;
    if (target >= 0 && target < tiles.size() && target != index)
        tiles.at(target)->setFocus(Qt::TabFocusReason);
}

void AppIconButton::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutSubviews();
    updateTexts();
}

void AppIconButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
        updateFonts();
        Q_FALLTHROUGH();
    case QEvent::StyleChange:
        layoutSubviews();
        updateTexts();
        updateGeometry();
        break;
    case QEvent::PaletteChange:
        updateColors();
        break;
    default:
        break;
    }
}

void AppIconButton::updateFonts() {
    m_label->setFont(scaledFont(font(), kNamePoints));
    m_versionLabel->setFont(scaledFont(font(), kVersionPoints));
}

void AppIconButton::updateColors() {
    const QColor ground =
        m_isDefaultApp ? tileGround(palette()) : palette().color(QPalette::Window);
    QPalette versionPalette = m_versionLabel->palette();
    versionPalette.setColor(QPalette::PlaceholderText, secondaryLabelColor(palette(), ground));
    m_versionLabel->setPalette(versionPalette);
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
        QFontMetrics(m_versionLabel->font())
            .elidedText(m_version.value_or(QString()), Qt::ElideRight, labelWidth));
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
