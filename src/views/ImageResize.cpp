#include "views/ImageResize.h"

#include <QGuiApplication>
#include <QList>

namespace marvoline {

namespace {

qreal effectiveRatio(qreal devicePixelRatio) {
    if (devicePixelRatio > 0)
        return devicePixelRatio;
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

QSize deviceSize(QSize size, qreal ratio) {
    return QSize(qMax(1, qRound(size.width() * ratio)), qMax(1, qRound(size.height() * ratio)));
}

// Of the icon's fixed images, the smallest that covers the target, else the
// largest; an invalid size when the icon has none (scalable icons).
QSize bestAvailableSize(const QIcon& icon, QSize target) {
    const auto covers = [target](QSize s) {
        return s.width() >= target.width() && s.height() >= target.height();
    };
    const auto area = [](QSize s) { return qint64(s.width()) * s.height(); };
    QSize best;
    for (const QSize& candidate : icon.availableSizes()) {
        if (candidate.isEmpty())
            continue;
        if (!best.isValid()) {
            best = candidate;
        } else if (covers(candidate) != covers(best)) {
            if (covers(candidate))
                best = candidate;
        } else if (covers(candidate) ? area(candidate) < area(best)
                                     : area(candidate) > area(best)) {
            best = candidate;
        }
    }
    return best;
}

} // namespace

QPixmap resize(const QPixmap& source, QSize size, qreal devicePixelRatio) {
    if (source.isNull() || source.size().isEmpty() || size.isEmpty())
        return {};
    const qreal ratio = effectiveRatio(devicePixelRatio);
    QPixmap result =
        source.scaled(deviceSize(size, ratio), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.setDevicePixelRatio(ratio);
    return result;
}

QPixmap resize(const QIcon& icon, QSize size, qreal devicePixelRatio) {
    if (icon.isNull() || size.isEmpty())
        return {};
    const qreal ratio = effectiveRatio(devicePixelRatio);
    const QSize target = deviceSize(size, ratio);
    QSize sourceSize = bestAvailableSize(icon, target);
    if (!sourceSize.isValid())
        sourceSize = target;
    // Ratio 1: the request is in device pixels of the source image.
    const QPixmap source = icon.pixmap(sourceSize, 1.0);
    if (source.isNull())
        return {};
    QPixmap result = source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.setDevicePixelRatio(ratio);
    return result;
}

} // namespace marvoline
