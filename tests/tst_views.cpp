// The chooser's own views: the application tile, the countdown's stop button,
// image scaling and the "Drag Me" handle.

#include "support/TestMain.h"

#include "views/AppIconButton.h"
#include "views/ImageResize.h"
#include "views/StopTimerButton.h"
#include "views/SymbolIcons.h"
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
using namespace Qt::StringLiterals;

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
    QList<QDrag*> drags;
    Qt::DropActions supported;
    Qt::DropAction defaultAction = Qt::IgnoreAction;

protected:
    Qt::DropAction execDrag(QDrag* drag, Qt::DropActions actions, Qt::DropAction def) override {
        drags.append(drag);
        supported = actions;
        defaultAction = def;
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

class TestViews final : public QObject {
    Q_OBJECT

public:
    explicit TestViews(marvoline::test::XdgSandbox&) {}

private Q_SLOTS:
    void defaultTileFillsFromTheTopInsideItsBackground() {
        AppIconButton tile;
        tile.configure(std::nullopt, QString(), std::nullopt, true);
        const QRect bg = tile.backgroundRect().toRect();
        QCOMPARE(bg, QRect(8, 2, 80, tile.height() - 4));
        // The rows of the tile in which a fill changed something; out-of-range fills are clamped.
        const QImage empty = paintOf(&tile);
        const auto filledRows = [&](double progress) {
            tile.setFillProgress(progress);
            const QImage image = paintOf(&tile);
            QList<int> rows;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width() && !rows.contains(y); ++x) {
                    if (image.pixel(x, y) != empty.pixel(x, y))
                        rows.append(y);
                }
            }
            return rows;
        };
        QCOMPARE(tile.fillProgress(), 0.0);
        QVERIFY(qAbs(empty.pixelColor(bg.center()).alpha() - qRound(0.15 * 255)) <= 1);
        QCOMPARE(filledRows(0.001), QList<int>{});
        QCOMPARE(filledRows(0.0011), QList<int>{bg.top()});
        const QList<int> half = filledRows(0.5);
        QCOMPARE(half.first(), bg.top());
        QVERIFY(qAbs(half.size() - bg.height() / 2) <= 1);
        QCOMPARE(filledRows(1.7).size(), bg.height());
        QCOMPARE(tile.fillProgress(), 1.0);
        for (const double below : {-0.5, std::numeric_limits<double>::quiet_NaN()}) {
            QCOMPARE(filledRows(below), QList<int>{});
            QCOMPARE(tile.fillProgress(), 0.0);
        }
        // Nothing outside the rounded rectangle, nor in its cut-off corners.
        tile.setFillProgress(1);
        const QImage full = paintOf(&tile);
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
        QCOMPARE(paintOf(&tile), blank);
    }

    void versionLabelAndToolTip_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<std::optional<QString>>("version");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("no version") << u"Viewer"_s << std::optional<QString>() << u"Viewer"_s;
        QTest::newRow("version") << u"Viewer"_s << std::optional(u"12.1"_s) << u"Viewer 12.1"_s;
        QTest::newRow("empty version") << u"Viewer"_s << std::optional(QString()) << u"Viewer "_s;
        // Names are shown as written, never as markup.
        QTest::newRow("markup") << u"<i>V</i>"_s << std::optional(u"1"_s) << u"<i>V</i> 1"_s;
    }
    void versionLabelAndToolTip() {
        QFETCH(QString, title);
        QFETCH(std::optional<QString>, version);
        QFETCH(QString, toolTip);
        AppIconButton tile;
        // Start from the opposite state, so that configure has to change it.
        tile.configure(std::nullopt, u"Old"_s, version ? std::nullopt : std::optional(u"1"_s),
                       false);
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
        const QString longName = u"Application With A Very Long Name Indeed"_s;
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
        tile->configure(std::nullopt, u"Viewer"_s, u"1"_s, true);
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
        QVERIFY(stop->isStopped() && stop->isHidden());
        click(stop, onSquare, Qt::LeftButton);
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

    // The bundled symbols are drawn at the size asked for, in the text colour, and dimmed when
    // disabled.
    void bundledSymbolsDrawnAtTheirSize_data() {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("side");
        for (const char* name : {"clock", "doc.on.doc", "line.3.horizontal"}) {
            QTest::addRow("%s", name) << QString::fromLatin1(name) << 18;
            QTest::addRow("%s large", name) << QString::fromLatin1(name) << 77;
        }
    }

    void bundledSymbolsDrawnAtTheirSize() {
        QFETCH(QString, symbol);
        QFETCH(int, side);
        const QIcon icon = symbolIcon(symbol);
        if (icon.name() != QString())
            QSKIP("the icon theme has this symbol");
        const QImage image = icon.pixmap(QSize(side, side), 1.0).toImage();
        QCOMPARE(image.size(), QSize(side, side));
        const QRgb text = QGuiApplication::palette().color(QPalette::WindowText).rgb();
        int opaque = 0;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) < 255)
                    continue;
                ++opaque;
                QCOMPARE(pixel, text);
            }
        }
        QVERIFY(opaque > 0);
        QVERIFY(icon.pixmap(QSize(side, side), 1.0, QIcon::Disabled).toImage() != image);
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
        RecordingHandle handle;
        const int distance = QApplication::startDragDistance();
        const QPoint start(20, 13);
        const auto drag = [&](Qt::MouseButton button, QList<int> steps) {
            sendMouse(&handle, QEvent::MouseButtonPress, start, button);
            for (const int step : steps)
                sendMouse(&handle, QEvent::MouseMove, start + QPoint(step * distance, 0), button);
            sendMouse(&handle, QEvent::MouseButtonRelease, start, button);
        };
        // A name in Latin-1 bytes (not UTF-8), one with a space and '#', and ten more.
        QList<QUrl> files{QUrl::fromEncoded("file:///tmp/caf%E9.txt"),
                          QUrl::fromLocalFile(u"/tmp/a b#c.txt"_s)};
        for (int i = 1; i <= 10; ++i)
            files.append(QUrl::fromLocalFile(u"/tmp/file %1.txt"_s.arg(i)));
        drag(Qt::LeftButton, {4}); // no files on show
        handle.fileURLs = [files] { return files; };
        drag(Qt::RightButton, {4});
        QCOMPARE(handle.drags.size(), 0);

        drag(Qt::LeftButton, {1, 3}); // one drag per press
        QCOMPARE(handle.drags.size(), 1);
        const QMimeData* data = handle.drags.first()->mimeData();
        QCOMPARE(data->urls(), files.mid(0, 10));
        QVERIFY(data->data(u"text/uri-list"_s)
                    .startsWith("file:///tmp/caf%E9.txt\r\nfile:///tmp/a%20b%23c.txt\r\n"));
        QCOMPARE(handle.supported, Qt::DropActions(Qt::CopyAction));
        QCOMPARE(handle.defaultAction, Qt::CopyAction);
        QCOMPARE(handle.drags.first()->pixmap().deviceIndependentSize(), QSizeF(48, 48));
    }
};

MARVOLINE_TEST_MAIN(TestViews)
#include "tst_views.moc"
