// The chooser's own views: the application tile, the row that overlaps the
// tiles, the countdown's stop button, image scaling and the "Drag Me" handle.

#include "support/TestMain.h"

#include "views/AppIconButton.h"
#include "views/ImageResize.h"
#include "views/OverlapRowLayout.h"
#include "views/StopTimerButton.h"
#include "views/WindowDragHandleView.h"

#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTextDocument>

#include <limits>

using namespace marvoline;

namespace {

// A window that counts the presses that reach it.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        event->accept();
    }
};

// Records the drags the handle starts (the offscreen platform has no drag and drop).
class RecordingHandle : public WindowDragHandleView {
public:
    struct Started {
        QList<QUrl> urls;
        QByteArray uriList;
        QPixmap pixmap;
        Qt::DropActions supported;
        Qt::DropAction defaultAction;
    };
    QList<Started> drags;

protected:
    Qt::DropAction execDrag(QDrag* drag, Qt::DropActions supported, Qt::DropAction def) override {
        const QMimeData* mime = drag->mimeData();
        drags.append({mime->urls(), mime->data(QStringLiteral("text/uri-list")), drag->pixmap(),
                      supported, def});
        return Qt::CopyAction;
    }
};

// What the widget itself paints, over a transparent ground.
QImage paintOf(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestViews : public QObject {
    Q_OBJECT

public:
    explicit TestViews(marvoline::test::XdgSandbox&) {}

private Q_SLOTS:
    void fillProgressIsClamped() {
        AppIconButton tile;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (const auto& [given, stored] : {std::pair{-0.5, 0.0}, std::pair{0.4, 0.4},
                                            std::pair{1.7, 1.0}, std::pair{nan, 0.0}}) {
            tile.setFillProgress(given);
            QCOMPARE(tile.fillProgress(), stored);
        }
    }

    void defaultTileFillsFromTheTopInsideItsBackground() {
        AppIconButton tile;
        tile.configure(std::nullopt, QString(), std::nullopt, true);
        const auto paintAt = [&tile](double progress) {
            tile.setFillProgress(progress);
            return paintOf(&tile);
        };
        const QImage empty = paintAt(0), threshold = paintAt(0.001), justAbove = paintAt(0.0011),
                     half = paintAt(0.5), full = paintAt(1);
        const QRect bg = tile.backgroundRect().toRect();
        QCOMPARE(bg, QRect(8, 2, 80, tile.height() - 4));
        // The rows in which the fill changed something.
        const auto filledRows = [&empty](const QImage& image) {
            QList<int> rows;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixel(x, y) != empty.pixel(x, y) && !rows.contains(y))
                        rows.append(y);
                }
            }
            return rows;
        };
        // Up to the threshold only the grey background; just above it, the top row.
        QVERIFY(qAbs(empty.pixelColor(bg.center()).alpha() - qRound(0.15 * 255)) <= 1);
        QCOMPARE(threshold, empty);
        QCOMPARE(filledRows(justAbove), QList<int>{bg.top()});
        // Half way the upper half, full every row of the background.
        const QList<int> halfRows = filledRows(half);
        QCOMPARE(halfRows.first(), bg.top());
        QVERIFY(qAbs(halfRows.size() - bg.height() / 2) <= 1);
        QCOMPARE(filledRows(full).size(), bg.height());
        // Nothing outside the rounded rectangle, nor in its cut-off corners.
        for (int y = 0; y < full.height(); ++y) {
            for (int x = 0; x < full.width(); ++x) {
                if (!bg.contains(x, y) || QPoint(x, y) == bg.topLeft() ||
                    QPoint(x, y) == bg.bottomRight())
                    QCOMPARE(qAlpha(full.pixel(x, y)), 0);
            }
        }

        // A tile that is not the default's paints nothing, whatever its progress.
        tile.configure(std::nullopt, QString(), std::nullopt, false);
        QImage blank(tile.size(), QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        QCOMPARE(paintAt(0), blank);
        QCOMPARE(paintAt(1), blank);
    }

    void versionLabelAndToolTip_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<std::optional<QString>>("version");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("no version") << "Viewer" << std::optional<QString>() << "Viewer";
        QTest::newRow("version") << "Viewer" << std::optional<QString>(QStringLiteral("12.1"))
                                 << "Viewer 12.1";
        QTest::newRow("empty version")
            << "Viewer" << std::optional<QString>(QString()) << "Viewer ";
        // Names are shown as written, never as markup.
        QTest::newRow("markup") << "<i>V</i>" << std::optional<QString>(QStringLiteral("1"))
                                << "<i>V</i> 1";
    }

    void versionLabelAndToolTip() {
        QFETCH(QString, title);
        QFETCH(std::optional<QString>, version);
        QFETCH(QString, toolTip);
        AppIconButton tile;
        // Start from the opposite state, so that configure has to change it.
        tile.configure(std::nullopt, QStringLiteral("Old"),
                       version ? std::nullopt : std::optional<QString>(QStringLiteral("1")), false);
        tile.configure(std::nullopt, title, version, false);
        QCOMPARE(tile.versionLabel()->isHidden(), !version.has_value());
        QCOMPARE(tile.versionLabel()->text(), version.value_or(QString()));
        QCOMPARE(tile.label()->text(), title);
        QCOMPARE(tile.label()->textFormat(), Qt::PlainText);
        QCOMPARE(tile.label()->toolTip(), tile.toolTip());
        QTextDocument shown; // a tool tip that looks like markup is shown as markup
        shown.setHtml(tile.toolTip());
        QCOMPARE(Qt::mightBeRichText(tile.toolTip()) ? shown.toPlainText() : tile.toolTip(),
                 toolTip);
    }

    void longNameElidedInTheMiddleAndIconScaledToFit() {
        AppIconButton tile;
        const QString longName = QStringLiteral("Application With A Very Long Name Indeed");
        QPixmap small(16, 8);
        small.fill(Qt::red);
        tile.configure(QIcon(small), longName, std::nullopt, false);
        const QString shown = tile.label()->text();
        QVERIFY(shown.startsWith(u"App") && shown.endsWith(u"eed") && shown.contains(u'…'));
        QVERIFY(QFontMetrics(tile.label()->font()).horizontalAdvance(shown) <= 96 - 16);
        // A small icon is scaled up, keeping its proportions; an absent one shows nothing.
        QCOMPARE(tile.imageView()->pixmap().deviceIndependentSize(), QSizeF(32, 16));
        tile.configure(std::nullopt, longName, std::nullopt, false);
        QVERIFY(tile.imageView()->pixmap().isNull());
    }

    void clicksOnTileAndStopButton() {
        PressCounter window;
        window.resize(200, 100);
        auto* tile = new AppIconButton(&window);
        tile->configure(std::nullopt, QStringLiteral("Viewer"), QStringLiteral("1"), true);
        auto* stop = new StopTimerButton(&window);
        stop->move(120, 10);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto click = [&window](QWidget* widget, QPoint at, Qt::MouseButton button) {
            QTest::mouseClick(window.windowHandle(), button, {}, widget->mapTo(&window, at));
        };
        const QPoint onIcon(48, 20), onSquare(14, 14);
        const QPoint onName = tile->label()->geometry().center();

        // Without a handler a press is still theirs, and nothing happens.
        click(tile, onIcon, Qt::LeftButton);
        click(stop, onSquare, Qt::LeftButton);
        QCOMPARE(window.presses, 0);
        int tileClicks = 0, stopClicks = 0;
        tile->onClick = [&tileClicks] { ++tileClicks; };
        stop->onClick = [&stopClicks] { ++stopClicks; };
        // Icon, name and stop symbol belong to their widget; other buttons do not.
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            click(tile, onIcon, button);
            click(tile, onName, button);
            click(stop, onSquare, button);
        }
        QCOMPARE(tileClicks, 2);
        QCOMPARE(stopClicks, 1);
        QCOMPARE(window.presses, 3);

        // A stopped button is hidden and lets presses through; unstopped it is back.
        stop->setStopped(true);
        QVERIFY(stop->isStopped() && stop->isHidden() && stop->imageView()->isHidden());
        click(stop, onSquare, Qt::LeftButton);
        QCOMPARE(stopClicks, 1);
        QCOMPARE(window.presses, 4);
        stop->setStopped(false);
        QVERIFY(!stop->isStopped() && stop->isVisible() && stop->imageView()->isVisible());
        click(stop, onSquare, Qt::LeftButton);
        QCOMPARE(stopClicks, 2);

        // The handlers may drop their widget (the row is rebuilt after a choice).
        const QPointer<AppIconButton> watchedTile(tile);
        const QPointer<StopTimerButton> watchedStop(stop);
        tile->onClick = [tile] { delete tile; };
        stop->onClick = [stop] { delete stop; };
        click(tile, onIcon, Qt::LeftButton);
        click(stop, onSquare, Qt::LeftButton);
        QVERIFY(watchedTile.isNull() && watchedStop.isNull());
    }

    void stopButtonIsARedDiscWithAWhiteSquare() {
        StopTimerButton button;
        const QImage image = paintOf(&button);
        QCOMPARE(image.size(), QSize(28, 28));
        QCOMPARE(image.pixel(14, 14), 0xFFFFFFFFu);
        // The disc reaches one pixel in from the bounds; the corners stay clear.
        for (const QPoint& p : {QPoint(14, 2), QPoint(25, 14), QPoint(4, 14)})
            QCOMPARE(image.pixel(p), 0xFFFF3B30u);
        for (const QPoint& p : {QPoint(0, 0), QPoint(14, 0), QPoint(3, 3)})
            QCOMPARE(qAlpha(image.pixel(p)), 0);
    }

    void rowOverlapsNeighbours() {
        QWidget row;
        auto* layout = new OverlapRowLayout(&row, -8);
        QList<QWidget*> boxes;
        for (int i = 0; i < 3; ++i) {
            boxes.append(new QWidget(&row));
            boxes.last()->setFixedSize(96, 56);
            layout->addWidget(boxes.last());
        }
        QCOMPARE(layout->sizeHint(), QSize(272, 56));
        QCOMPARE(layout->minimumSize(), QSize(272, 56));
        row.resize(400, 100);
        layout->activate();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(boxes[i]->geometry(), QRect(88 * i, 22, 96, 56));
        // Hidden widgets take no room, and a lone widget no spacing.
        boxes[1]->hide();
        layout->activate();
        QCOMPARE(layout->sizeHint(), QSize(184, 56));
        QCOMPARE(boxes[2]->geometry().topLeft(), QPoint(88, 22));
        boxes[2]->hide();
        QCOMPARE(layout->sizeHint(), QSize(96, 56));
    }

    void resizeStretchesTheWholeImage() {
        QPixmap source(40, 20);
        source.fill(Qt::blue);
        QPainter(&source).fillRect(20, 0, 20, 20, Qt::red);
        const QPixmap sharp = resize(source, QSize(32, 32), 2);
        QCOMPARE(sharp.size(), QSize(64, 64));
        QCOMPARE(sharp.deviceIndependentSize(), QSizeF(32, 32));
        QCOMPARE(sharp.toImage().pixelColor(4, 60), QColor(Qt::blue));
        QCOMPARE(sharp.toImage().pixelColor(60, 4), QColor(Qt::red));
        QCOMPARE(source.size(), QSize(40, 20));
    }

    void draggingOffersACopyOnly() {
        QWidget window;
        auto* handle = new RecordingHandle;
        handle->setParent(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const int distance = QApplication::startDragDistance();
        const QPoint start(20, 13);
        const auto dragFar = [&](Qt::MouseButton button) {
            sendMouse(handle, QEvent::MouseButtonPress, start, button);
            sendMouse(handle, QEvent::MouseMove, start + QPoint(4 * distance, 0), button);
            sendMouse(handle, QEvent::MouseButtonRelease, start, button);
        };
        // A name in Latin-1 bytes (not UTF-8), one with a space and '#', and ten more.
        QList<QUrl> files{QUrl::fromEncoded("file:///tmp/caf%E9.txt"),
                          QUrl::fromLocalFile(QStringLiteral("/tmp/a b#c.txt"))};
        for (int i = 1; i <= 10; ++i)
            files.append(QUrl::fromLocalFile(QStringLiteral("/tmp/file %1.txt").arg(i)));
        dragFar(Qt::LeftButton); // no files on show
        handle->fileURLs = [files] { return files; };
        dragFar(Qt::RightButton);
        QCOMPARE(handle->drags.size(), 0);

        sendMouse(handle, QEvent::MouseButtonPress, start, Qt::LeftButton);
        sendMouse(handle, QEvent::MouseMove, start + QPoint(distance, 0), Qt::LeftButton);
        sendMouse(handle, QEvent::MouseMove, start + QPoint(3 * distance, 0), Qt::LeftButton);
        QCOMPARE(handle->drags.size(), 1); // one drag per press
        const RecordingHandle::Started& drag = handle->drags.constFirst();
        QCOMPARE(drag.urls, files.mid(0, 10));
        QVERIFY(drag.uriList.startsWith("file:///tmp/caf%E9.txt\r\nfile:///tmp/a%20b%23c.txt\r\n"));
        QCOMPARE(drag.supported, Qt::DropActions(Qt::CopyAction));
        QCOMPARE(drag.defaultAction, Qt::CopyAction);
        QCOMPARE(drag.pixmap.deviceIndependentSize(), QSizeF(48, 48));
    }
};

MARVOLINE_TEST_MAIN(TestViews)
#include "tst_views.moc"
