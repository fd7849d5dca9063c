#include "platform/DeferredIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <memory>
#include <optional>

namespace marvoline {

namespace {

// The look-up and its answer, shared by the copies of one icon.
struct Lookup {
    std::function<QIcon()> resolve;
    std::optional<QIcon> icon;

    const QIcon& resolved() {
        if (!icon) {
            icon = resolve();
            resolve = nullptr;
        }
        return *icon;
    }
};

// Sizes reach an engine in device pixels: the looked-up icon is asked at a
// ratio of 1 so that the screen's ratio is not applied twice.
class DeferredIconEngine final : public QIconEngine {
public:
    explicit DeferredIconEngine(std::shared_ptr<Lookup> lookup)
        : m_lookup(std::move(lookup)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        m_lookup->resolved().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return m_lookup->resolved().pixmap(size, 1.0, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        // The pixmap is kept by the looked-up icon for the drawing that follows.
        return pixmap(size, mode, state).size();
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return m_lookup->resolved().availableSizes(mode, state);
    }
    QString iconName() override { return m_lookup->resolved().name(); }
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("marvoline.deferred"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(m_lookup); }

private:
    std::shared_ptr<Lookup> m_lookup;
};

} // namespace

QIcon deferredIcon(std::function<QIcon()> resolve) {
    auto lookup = std::make_shared<Lookup>();
    lookup->resolve = std::move(resolve);
    return QIcon(new DeferredIconEngine(std::move(lookup)));
}

} // namespace marvoline
