// The chooser's own views: the application tile, the countdown's stop button
// and the "Drag Me" handle.

#include "support/TestMain.h"

#include "views/AppIconButton.h"
#include "views/NextFrame.h"
#include "views/StopTimerButton.h"
#include "views/WindowDragHandleView.h"

#include <QDir>
#include <QDrag>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <utility>

using namespace marvoline;
using namespace Qt::StringLiterals;

namespace {

// A window that counts the presses that reach it.
class PressCounter : public QWidget {
public:
    int presses = 0;
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

protected:
    Qt::DropAction execDrag(QDrag* drag, Qt::DropActions actions, Qt::DropAction) override {
        drags.append(drag);
        supported = actions;
        return Qt::CopyAction;
    }
};

// Counts the frames it is drawn in.
struct PaintCounter : QWidget {
    using QWidget::QWidget;
    int paints = 0;
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// What the widget itself paints, over a transparent ground.
QImage paintOf(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Threads of this process that Qt's thread pools started ("Thread (pooled)").
int pooledThreads() {
    int count = 0;
    for (const QFileInfo& task :
         QDir(u"/proc/self/task"_s).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(task.filePath() + u"/comm"_s);
        if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("Thread (pooled)"))
            ++count;
    }
    return count;
}

} // namespace

class TestViews final : public QObject {
    Q_OBJECT

public:
    explicit TestViews(marvoline::test::XdgSandbox&) {}

private Q_SLOTS:
    // The default tile's ground and its countdown fill are drawn opaque, in the
    // colours they show over the window. Translucent, a fill as tall as a tile
    // is split by Qt's raster engine across painting threads, which the first
    // frame would start and wait for. First of the cases: no other has painted.
    void defaultTileDrawsOpaqueInTheColoursItShowsOverTheWindow() {
        QCOMPARE(pooledThreads(), 0);
        AppIconButton tile;
        tile.configure(std::nullopt, QString(), std::nullopt, true);
        tile.resize(tile.sizeHint().width(), 160);
        tile.setFillProgress(0.5);
        // In the format of a window's backing store.
        QImage image(tile.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        tile.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(pooledThreads(), 0);
        const QRect bg = tile.backgroundRect().toRect();
        const auto over = [](const QColor& top, double opacity, const QColor& bottom) {
            const auto mix = [opacity](int a, int b) {
                return qRound(a * opacity + b * (1 - opacity));
            };
            return QColor(mix(top.red(), bottom.red()), mix(top.green(), bottom.green()),
                          mix(top.blue(), bottom.blue()));
        };
        const QColor ground = over(Qt::gray, 0.15, tile.palette().color(QPalette::Window));
        const QColor fill = over(tile.palette().color(QPalette::Highlight), 0.5, ground);
        const QList<std::pair<QPoint, QColor>> samples{
            {{bg.center().x(), bg.top() + bg.height() / 4}, fill},
            {{bg.center().x(), bg.bottom() - bg.height() / 4}, ground}};
        for (const auto& [at, expected] : samples) {
            const QColor shown = image.pixelColor(at);
            QCOMPARE(shown.alpha(), 255);
            const int off = std::max({qAbs(shown.red() - expected.red()),
                                      qAbs(shown.green() - expected.green()),
                                      qAbs(shown.blue() - expected.blue())});
            QVERIFY2(off <= 1, qPrintable(shown.name() + u" instead of "_s + expected.name()));
        }
    }

    // Work for the next frame is never run at once; it runs once the event
    // loop has the frame to give, or has control back for a window not shown
    // yet, and is dropped with its widget.
    void atNextFrameRunsLaterOrNotAtAll_data() {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("widgetGone");
        QTest::addColumn<int>("runs");
        QTest::newRow("shown window") << true << false << 1;
        QTest::newRow("window not shown yet") << false << false << 1;
        QTest::newRow("widget gone first") << true << true << 0;
        QTest::newRow("widget gone, window not shown") << false << true << 0;
    }
    void atNextFrameRunsLaterOrNotAtAll() {
        QFETCH(bool, shown);
        QFETCH(bool, widgetGone);
        QFETCH(int, runs);
        QWidget window;
        window.resize(100, 100);
        auto* inside = new QWidget(&window);
        if (shown) {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }
        int calls = 0;
        atNextFrame(inside, [&calls] { ++calls; });
        QCOMPARE(calls, 0);
        if (widgetGone)
            delete inside;
        QTest::qWait(100);
        QCOMPARE(calls, runs);
    }

    // A window shown from an event handler, as the chooser's is when the
    // session bus answers, draws each widget once: in its first frame, not
    // again in a second right after it. The "plain show" row shows, on X11,
    // the second frame a plain show() gets.
    void windowShownFromAnEventIsDrawnInOneFrame_data() {
        QTest::addColumn<bool>("oneFrame");
        QTest::newRow("shown in one frame") << true;
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            QTest::newRow("plain show") << false;
    }
    void windowShownFromAnEventIsDrawnInOneFrame() {
        QFETCH(bool, oneFrame);
        QWidget window;
        window.resize(200, 120);
        auto* layout = new QVBoxLayout(&window);
        QList<PaintCounter*> children;
        for (int i = 0; i < 4; ++i)
            layout->addWidget(children.emplaceBack(new PaintCounter(&window)));
        QTimer::singleShot(0, &window, [&window, oneFrame] {
            oneFrame ? showInOneFrame(&window) : window.show();
            // Runs on while the window is mapped: the first expose is waiting
            // when the event loop has control again.
            QThread::msleep(100);
        });
        QTRY_VERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(200);
        for (const PaintCounter* child : std::as_const(children))
            QCOMPARE(child->paints, oneFrame ? 1 : 2);
    }

    void defaultTileFillsFromTheTopInsideItsBackground() {
        AppIconButton tile;
        tile.configure(std::nullopt, QString(), std::nullopt, true);
        const QRect bg = tile.backgroundRect().toRect();
        // The rows of the background's middle column that a fill changed.
        const QImage empty = paintOf(&tile);
        const auto filledRows = [&](double progress) {
            tile.setFillProgress(progress);
            const QImage image = paintOf(&tile);
            QList<int> rows;
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixel(bg.center().x(), y) != empty.pixel(bg.center().x(), y))
                    rows.append(y);
            }
            return rows;
        };
        const QList<int> half = filledRows(0.5);
        QCOMPARE(half.first(), bg.top());
        QVERIFY(qAbs(half.size() - bg.height() / 2) <= 1);
        // Out-of-range fills are clamped.
        QCOMPARE(filledRows(1.7).size(), bg.height());
        for (const double below : {-0.5, std::numeric_limits<double>::quiet_NaN()}) {
            QCOMPARE(filledRows(below), QList<int>{});
            QCOMPARE(tile.fillProgress(), 0.0);
        }
        // A tile that is not the default's paints nothing, whatever its progress.
        tile.configure(std::nullopt, QString(), std::nullopt, false);
        QCOMPARE(qAlpha(paintOf(&tile).pixel(bg.center())), 0);
    }

    void labelsToolTipAndIcon() {
        AppIconButton tile;
        QPixmap small(16, 8);
        small.fill(Qt::red);
        tile.configure(QIcon(small), u"<i>V</i>"_s, u"12.1"_s, false);
        // A small icon is scaled up, keeping its proportions.
        QCOMPARE(tile.imageView()->pixmap().deviceIndependentSize(), QSizeF(32, 16));
        QCOMPARE(tile.versionLabel()->text(), u"12.1"_s);
        QVERIFY(!tile.versionLabel()->isHidden());
        // Names are shown as written, never as markup.
        QCOMPARE(tile.label()->textFormat(), Qt::PlainText);
        QTextDocument toolTip; // a tool tip that looks like markup is shown as markup
        toolTip.setHtml(tile.toolTip());
        QCOMPARE(Qt::mightBeRichText(tile.toolTip()) ? toolTip.toPlainText() : tile.toolTip(),
                 u"<i>V</i> 12.1"_s);
        // Configured again without a version, the tile hides the label.
        tile.configure(std::nullopt, u"Viewer"_s, std::nullopt, false);
        QVERIFY(tile.versionLabel()->isHidden());
        QCOMPARE(tile.toolTip(), u"Viewer"_s);
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
        click(stop, onSquare, Qt::LeftButton);
        QCOMPARE(window.presses, 4);
        stop->setStopped(false);
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

    void draggingOffersACopyOnly() {
        RecordingHandle handle;
        const int distance = QApplication::startDragDistance();
        const QPoint start(20, 13);
        const auto drag = [&](Qt::MouseButton button, QList<int> steps) {
            QTest::mousePress(&handle, button, {}, start);
            for (const int step : steps)
                QTest::mouseMove(&handle, start + QPoint(step * distance, 0));
            QTest::mouseRelease(&handle, button, {}, start);
        };
        // A name in Latin-1 bytes (not UTF-8), and eleven more.
        QList<QUrl> files{QUrl::fromEncoded("file:///tmp/caf%E9.txt")};
        for (int i = 1; i <= 11; ++i)
            files.append(QUrl::fromLocalFile(u"/tmp/file %1.txt"_s.arg(i)));
        drag(Qt::LeftButton, {4}); // no files on show
        handle.fileURLs = [files] { return files; };
        drag(Qt::RightButton, {4});
        QCOMPARE(handle.drags.size(), 0);

        drag(Qt::LeftButton, {1, 3}); // one drag per press
        QCOMPARE(handle.drags.size(), 1);
        const QMimeData* data = handle.drags.first()->mimeData();
        QCOMPARE(data->urls(), files.mid(0, 10));
        QVERIFY(data->data(u"text/uri-list"_s).startsWith("file:///tmp/caf%E9.txt\r\n"));
        QCOMPARE(handle.supported, Qt::DropActions(Qt::CopyAction));
    }
};

MARVOLINE_TEST_MAIN(TestViews)
#include "tst_views.moc"
