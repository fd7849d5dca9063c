// The application tile, the overlapping row layout that holds the tiles, and
// the image scaling used for their icons.

#include "support/TestMain.h"

#include "views/AppIconButton.h"
#include "views/ImageResize.h"
#include "views/OverlapRowLayout.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTextDocument>

#include <cmath>
#include <limits>

using namespace marvoline;

namespace {

// A parent that counts the presses that reach it.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        event->accept();
    }
};

// What the widget itself paints, over a transparent ground.
QImage paintOf(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QPixmap solid(QSize size, const QColor& color) {
    QPixmap pixmap(size);
    pixmap.fill(color);
    return pixmap;
}

QWidget* fixedBox(QWidget* parent, int width, int height) {
    auto* box = new QWidget(parent);
    box->setFixedSize(width, height);
    return box;
}

} // namespace

class TestAppIconButton : public QObject {
    Q_OBJECT

public:
    explicit TestAppIconButton(marvoline::test::XdgSandbox&) {}

private Q_SLOTS:
    void fillProgressIsClamped_data() {
        QTest::addColumn<double>("given");
        QTest::addColumn<double>("stored");
        QTest::newRow("below zero") << -0.5 << 0.0;
        QTest::newRow("zero") << 0.0 << 0.0;
        QTest::newRow("inside") << 0.4 << 0.4;
        QTest::newRow("one") << 1.0 << 1.0;
        QTest::newRow("above one") << 1.7 << 1.0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0.0;
    }

    void fillProgressIsClamped() {
        QFETCH(double, given);
        QFETCH(double, stored);
        AppIconButton tile;
        tile.setFillProgress(given);
        QCOMPARE(tile.fillProgress(), stored);
    }

    void defaultTileFillsFromTheTopInsideItsBackground() {
        QWidget parent;
        auto* tile = new AppIconButton(&parent);
        tile->configure(std::nullopt, QString(), std::nullopt, true);
        tile->resize(tile->sizeHint());
        QCOMPARE(tile->width(), 96);
        QVERIFY(tile->height() >= 56);

        const auto paintAt = [tile](double progress) {
            tile->setFillProgress(progress);
            return paintOf(tile);
        };
        const QImage empty = paintAt(0);
        const QImage threshold = paintAt(0.001);
        const QImage justAbove = paintAt(0.0011);
        const QImage half = paintAt(0.5);
        const QImage full = paintAt(1);

        const QRect background = tile->backgroundRect().toRect();
        QCOMPARE(background, QRect(8, 2, 80, tile->height() - 4));
        const int top = background.top();
        const int bottom = background.bottom();
        const int centreX = background.center().x();

        // Up to the threshold only the grey background is there.
        QCOMPARE(threshold, empty);
        const QColor grey = empty.pixelColor(centreX, background.center().y());
        QVERIFY(qAbs(grey.alpha() - qRound(0.15 * 255)) <= 1);

        // Just above it, the fill starts in the top row and nowhere else.
        int changed = 0;
        for (int y = 0; y < empty.height(); ++y) {
            for (int x = 0; x < empty.width(); ++x) {
                if (justAbove.pixel(x, y) != empty.pixel(x, y)) {
                    QCOMPARE(y, top);
                    ++changed;
                }
            }
        }
        QVERIFY(changed > 0);

        // Half way: the upper half is filled, the lower half not.
        const int middle = top + background.height() / 2;
        QVERIFY(half.pixel(centreX, middle - 2) != empty.pixel(centreX, middle - 2));
        QCOMPARE(half.pixel(centreX, middle + 2), empty.pixel(centreX, middle + 2));

        // Full: every row down to the bottom of the rounded rectangle.
        for (int y = top; y <= bottom; ++y)
            QVERIFY2(full.pixel(centreX, y) != empty.pixel(centreX, y),
                     qPrintable(QString::number(y)));
        const QColor accent = full.pixelColor(centreX, background.center().y());
        QVERIFY(accent.alpha() > grey.alpha());

        // Nothing outside the rounded rectangle: not around it, and not in the
        // cut-off corners either.
        for (const QImage* image : {&empty, &justAbove, &half, &full}) {
            for (int y = 0; y < image->height(); ++y) {
                for (int x = 0; x < image->width(); ++x) {
                    if (!background.contains(x, y))
                        QCOMPARE(qAlpha(image->pixel(x, y)), 0);
                }
            }
            QCOMPARE(qAlpha(image->pixel(background.left(), top)), 0);
            QCOMPARE(qAlpha(image->pixel(background.right(), bottom)), 0);
        }
    }

    void otherTilesPaintNothing() {
        QWidget parent;
        auto* tile = new AppIconButton(&parent);
        tile->configure(std::nullopt, QString(), std::nullopt, false);
        tile->resize(tile->sizeHint());
        for (const double progress : {0.0, 0.5, 1.0}) {
            tile->setFillProgress(progress);
            const QImage image = paintOf(tile);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    QCOMPARE(qAlpha(image.pixel(x, y)), 0);
            }
        }

        // Once marked default, the same tile draws its background.
        tile->configure(std::nullopt, QString(), std::nullopt, true);
        QVERIFY(qAlpha(paintOf(tile).pixel(48, 28)) > 0);
    }

    void versionLabelAndToolTip_data() {
        QTest::addColumn<std::optional<QString>>("version");
        QTest::addColumn<bool>("versionHidden");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("absent") << std::optional<QString>() << true << QStringLiteral("Viewer");
        QTest::newRow("present") << std::optional<QString>(QStringLiteral("12.1")) << false
                                 << QStringLiteral("Viewer 12.1");
        QTest::newRow("present but empty")
            << std::optional<QString>(QString()) << false << QStringLiteral("Viewer ");
    }

    void versionLabelAndToolTip() {
        QFETCH(std::optional<QString>, version);
        QFETCH(bool, versionHidden);
        QFETCH(QString, toolTip);
        AppIconButton tile;
        // Start from the opposite state, so that configure has to change it.
        tile.configure(std::nullopt, QStringLiteral("Old"),
                       versionHidden ? std::optional<QString>(QStringLiteral("1")) : std::nullopt,
                       false);
        tile.configure(std::nullopt, QStringLiteral("Viewer"), version, false);
        QCOMPARE(tile.versionLabel()->isHidden(), versionHidden);
        QCOMPARE(tile.versionLabel()->text(), version.value_or(QString()));
        QCOMPARE(tile.label()->text(), QStringLiteral("Viewer"));
        QCOMPARE(tile.toolTip(), toolTip);
        QCOMPARE(tile.label()->toolTip(), toolTip);
    }

    void namesAreShownLiterallyAndElidedInTheMiddle() {
        AppIconButton tile;
        tile.configure(std::nullopt, QStringLiteral("<i>V</i>"), QStringLiteral("1"), false);
        QCOMPARE(tile.label()->text(), QStringLiteral("<i>V</i>"));
        QCOMPARE(tile.label()->textFormat(), Qt::PlainText);
        // Whatever form the tool tip takes, it shows the name as written.
        QString shownTip = tile.toolTip();
        if (Qt::mightBeRichText(shownTip)) {
            QTextDocument document;
            document.setHtml(shownTip);
            shownTip = document.toPlainText();
        }
        QCOMPARE(shownTip, QStringLiteral("<i>V</i> 1"));

        const QString longName = QStringLiteral("Application With A Very Long Name Indeed");
        tile.configure(std::nullopt, longName, std::nullopt, false);
        const QString shown = tile.label()->text();
        QVERIFY(shown != longName);
        QVERIFY(shown.contains(QChar(0x2026)));
        QVERIFY(shown.startsWith(QStringLiteral("App")));
        QVERIFY(shown.endsWith(QStringLiteral("eed")));
        QVERIFY(QFontMetrics(tile.label()->font()).horizontalAdvance(shown) <= 96 - 16);
        QCOMPARE(tile.title(), longName);
        QCOMPARE(tile.toolTip(), longName);
    }

    void iconIsScaledToFitOrLeftEmpty() {
        AppIconButton tile;
        tile.configure(std::nullopt, QStringLiteral("A"), std::nullopt, false);
        QVERIFY(tile.imageView()->pixmap().isNull());

        // A small image is scaled up, keeping its proportions.
        tile.configure(QIcon(solid(QSize(16, 8), Qt::red)), QStringLiteral("A"), std::nullopt,
                       false);
        QCOMPARE(tile.imageView()->pixmap().deviceIndependentSize(), QSizeF(32, 16));
        tile.configure(QIcon(solid(QSize(128, 128), Qt::red)), QStringLiteral("A"), std::nullopt,
                       false);
        QCOMPARE(tile.imageView()->pixmap().deviceIndependentSize(), QSizeF(32, 32));

        // A present but null icon, and an absent one after an icon, show nothing.
        tile.configure(QIcon(), QStringLiteral("A"), std::nullopt, false);
        QVERIFY(tile.imageView()->pixmap().isNull());
        tile.configure(QIcon(solid(QSize(32, 32), Qt::red)), QStringLiteral("A"), std::nullopt,
                       false);
        tile.configure(std::nullopt, QStringLiteral("A"), std::nullopt, false);
        QVERIFY(tile.imageView()->pixmap().isNull());
    }

    void reparentingKeepsOneSetOfSubviews() {
        QWidget first;
        QWidget second;
        auto* tile = new AppIconButton(&first);
        const auto children = tile->findChildren<QWidget*>();
        QCOMPARE(children.size(), 3);
        first.show();
        tile->setParent(&second);
        tile->show();
        second.show();
        tile->setParent(&first);
        QCOMPARE(tile->findChildren<QWidget*>(), children);
        QCOMPARE(tile->imageView()->geometry(), QRect(32, 4, 32, 32));
    }

    void pressRunsOnClickOnce() {
        PressCounter window;
        window.resize(200, 100);
        auto* tile = new AppIconButton(&window);
        tile->configure(std::nullopt, QStringLiteral("Viewer"), QStringLiteral("1"), true);
        tile->move(10, 10);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        int clicks = 0;
        tile->onClick = [&clicks] { ++clicks; };

        QWindow* handle = window.windowHandle();
        // On the icon and on the name label: both belong to the tile.
        QTest::mouseClick(handle, Qt::LeftButton, {}, tile->mapTo(&window, QPoint(48, 20)));
        QCOMPARE(clicks, 1);
        const QPoint onName = tile->label()->geometry().center();
        QTest::mouseClick(handle, Qt::LeftButton, {}, tile->mapTo(&window, onName));
        QCOMPARE(clicks, 2);
        QCOMPARE(window.presses, 0);
        // Other buttons are not the tile's.
        QTest::mouseClick(handle, Qt::RightButton, {}, tile->mapTo(&window, QPoint(48, 20)));
        QCOMPARE(clicks, 2);
        QCOMPARE(window.presses, 1);

        // Without a handler the press is still the tile's, and nothing happens.
        tile->onClick = nullptr;
        QTest::mouseClick(handle, Qt::LeftButton, {}, tile->mapTo(&window, QPoint(48, 20)));
        QCOMPARE(window.presses, 1);

        // The handler may drop the tile (the row is rebuilt after a choice).
        QPointer<AppIconButton> watched(tile);
        tile->onClick = [tile] { delete tile; };
        QTest::mouseClick(handle, Qt::LeftButton, {}, tile->mapTo(&window, QPoint(48, 20)));
        QVERIFY(watched.isNull());
    }

    void rowOverlapsNeighbours() {
        QWidget row;
        auto* layout = new OverlapRowLayout(&row, -8);
        QList<QWidget*> boxes;
        for (int i = 0; i < 3; ++i) {
            boxes.append(fixedBox(&row, 96, 56));
            layout->addWidget(boxes.last());
        }
        QCOMPARE(layout->spacing(), -8);
        QCOMPARE(layout->sizeHint(), QSize(272, 56));
        QCOMPARE(layout->minimumSize(), QSize(272, 56));
        row.resize(400, 100);
        row.show();
        layout->activate();
        QCOMPARE(boxes[0]->geometry(), QRect(0, 22, 96, 56));
        QCOMPARE(boxes[1]->geometry(), QRect(88, 22, 96, 56));
        QCOMPARE(boxes[2]->geometry(), QRect(176, 22, 96, 56));

        // Hidden widgets take no room.
        boxes[1]->hide();
        QCOMPARE(layout->sizeHint(), QSize(184, 56));
        layout->activate();
        QCOMPARE(boxes[2]->geometry().topLeft(), QPoint(88, 22));

        // A positive spacing spreads them out.
        boxes[1]->show();
        layout->setSpacing(4);
        layout->activate();
        QCOMPARE(boxes[2]->geometry().x(), 200);
        QCOMPARE(layout->sizeHint().width(), 296);
    }

    void rowWithOneOrNoItems() {
        QWidget row;
        auto* layout = new OverlapRowLayout(&row, -8);
        QCOMPARE(layout->count(), 0);
        QCOMPARE(layout->sizeHint(), QSize(0, 0));
        QVERIFY(!layout->itemAt(0));
        QVERIFY(!layout->takeAt(0));
        QVERIFY(!layout->takeAt(-1));

        QWidget* only = fixedBox(&row, 96, 56);
        QWidget* taller = fixedBox(&row, 50, 80);
        layout->addWidget(only);
        QCOMPARE(layout->sizeHint(), QSize(96, 56));
        layout->addWidget(taller);
        QCOMPARE(layout->sizeHint(), QSize(96 - 8 + 50, 80));

        // takeAt hands out the right item and forgets it.
        QLayoutItem* item = layout->takeAt(1);
        QVERIFY(item);
        QCOMPARE(item->widget(), taller);
        delete item;
        QCOMPARE(layout->count(), 1);
        QCOMPARE(layout->itemAt(0)->widget(), only);
        QCOMPARE(layout->sizeHint(), QSize(96, 56));
    }

    void resizeDrawsTheWholeImageIntoTheSize() {
        // Left half blue, right half red, twice as wide as high.
        QPixmap source(40, 20);
        source.fill(Qt::blue);
        {
            QPainter painter(&source);
            painter.fillRect(20, 0, 20, 20, Qt::red);
        }
        const QImage scaled = resize(source, QSize(32, 32), 1).toImage();
        QCOMPARE(scaled.size(), QSize(32, 32));
        QCOMPARE(scaled.pixelColor(2, 2), QColor(Qt::blue));
        QCOMPARE(scaled.pixelColor(2, 29), QColor(Qt::blue));
        QCOMPARE(scaled.pixelColor(29, 2), QColor(Qt::red));
        QCOMPARE(scaled.pixelColor(29, 29), QColor(Qt::red));
        QCOMPARE(source.size(), QSize(40, 20));

        const QPixmap sharp = resize(source, QSize(32, 32), 2);
        QCOMPARE(sharp.size(), QSize(64, 64));
        QCOMPARE(sharp.deviceIndependentSize(), QSizeF(32, 32));

        QVERIFY(resize(QPixmap(), QSize(32, 32), 1).isNull());
        QVERIFY(resize(source, QSize(0, 32), 1).isNull());
        QVERIFY(resize(QIcon(), QSize(32, 32), 1).isNull());
    }

    void resizeTakesTheIconsBestImage() {
        QIcon icon;
        icon.addPixmap(solid(QSize(16, 16), Qt::blue));
        icon.addPixmap(solid(QSize(64, 64), Qt::red));
        const QPixmap small = resize(icon, QSize(16, 16), 1);
        QCOMPARE(small.size(), QSize(16, 16));
        QCOMPARE(small.toImage().pixelColor(8, 8), QColor(Qt::blue));
        // 32 x 32 is made from the larger image, not blown up from the small one.
        const QPixmap medium = resize(icon, QSize(32, 32), 1);
        QCOMPARE(medium.size(), QSize(32, 32));
        QCOMPARE(medium.toImage().pixelColor(16, 16), QColor(Qt::red));
        // A lone small image is stretched to the full size.
        const QPixmap stretched = resize(QIcon(solid(QSize(8, 4), Qt::green)), QSize(48, 48), 1);
        QCOMPARE(stretched.size(), QSize(48, 48));
        QCOMPARE(stretched.toImage().pixelColor(47, 47), QColor(Qt::green));
    }
};

MARVOLINE_TEST_MAIN(TestAppIconButton)
#include "tst_views_appiconbutton.moc"
