// The countdown's stop button and the bundled control symbols.

#include "support/TestMain.h"

#include "views/StopTimerButton.h"
#include "views/SymbolIcons.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPointer>

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

QImage paintOf(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool isRed(QRgb pixel) {
    return qAlpha(pixel) == 255 && qRed(pixel) == 0xFF && qGreen(pixel) == 0x3B &&
           qBlue(pixel) == 0x30;
}

bool isWhite(QRgb pixel) {
    return qAlpha(pixel) == 255 && qRed(pixel) == 255 && qGreen(pixel) == 255 &&
           qBlue(pixel) == 255;
}

} // namespace

class TestStopButton : public QObject {
    Q_OBJECT

public:
    explicit TestStopButton(marvoline::test::XdgSandbox&) {}

private Q_SLOTS:
    void drawsARedDiscWithAWhiteSquare() {
        QWidget parent;
        auto* button = new StopTimerButton(&parent);
        QCOMPARE(button->size(), QSize(28, 28));
        QCOMPARE(button->sizeHint(), QSize(28, 28));
        QCOMPARE(button->imageView()->geometry(), QRect(8, 8, 12, 12));

        const QImage image = paintOf(button);
        // The white square in the middle.
        QVERIFY(isWhite(image.pixel(14, 14)));
        QVERIFY(isWhite(image.pixel(11, 11)));
        // The disc around it, up to its edge one pixel in from the bounds.
        for (const QPoint& p : {QPoint(14, 4), QPoint(14, 24), QPoint(4, 14), QPoint(24, 14),
                                QPoint(14, 2), QPoint(25, 14)})
            QVERIFY2(isRed(image.pixel(p)),
                     qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        // Outside the disc: the one-pixel inset and the corners stay clear.
        for (const QPoint& p : {QPoint(0, 0), QPoint(27, 0), QPoint(0, 27), QPoint(27, 27),
                                QPoint(14, 0), QPoint(0, 14), QPoint(3, 3)})
            QCOMPARE(qAlpha(image.pixel(p)), 0);
    }

    void clickRunsTheHandlerWhileShown() {
        PressCounter window;
        window.resize(100, 100);
        auto* button = new StopTimerButton(&window);
        button->move(20, 20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWindow* handle = window.windowHandle();
        const QPoint centre(34, 34);

        // No handler: nothing happens, and the press stays with the button.
        QTest::mouseClick(handle, Qt::LeftButton, {}, centre);
        QCOMPARE(window.presses, 0);

        int clicks = 0;
        button->onClick = [&clicks] { ++clicks; };
        // On the white square too: the symbol is part of the button.
        QTest::mouseClick(handle, Qt::LeftButton, {}, centre);
        QCOMPARE(clicks, 1);
        QCOMPARE(window.presses, 0);

        button->setStopped(true);
        QVERIFY(button->isStopped());
        QVERIFY(button->isHidden());
        QVERIFY(button->imageView()->isHidden());
        QTest::mouseClick(handle, Qt::LeftButton, {}, centre);
        QCOMPARE(clicks, 1);
        QCOMPARE(window.presses, 1);

        button->setStopped(false);
        QVERIFY(!button->isStopped());
        QVERIFY(!button->isHidden());
        QVERIFY(!button->imageView()->isHidden());
        QTest::mouseClick(handle, Qt::LeftButton, {}, centre);
        QCOMPARE(clicks, 2);
        QCOMPARE(window.presses, 1);
    }

    void handlerMayDropTheButton() {
        QWidget window;
        window.resize(100, 100);
        auto* button = new StopTimerButton(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPointer<StopTimerButton> watched(button);
        button->onClick = [button] { delete button; };
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, QPoint(14, 14));
        QVERIFY(watched.isNull());
    }

    void reparentingKeepsOneSymbol() {
        QWidget first;
        QWidget second;
        auto* button = new StopTimerButton(&first);
        first.show();
        button->setParent(&second);
        button->setParent(&first);
        const auto labels = button->findChildren<QLabel*>();
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.constFirst(), button->imageView());
        QVERIFY(!button->imageView()->pixmap().isNull());
    }

    void everySymbolHasAnImage_data() {
        QTest::addColumn<QString>("symbol");
        for (const char* name : {"clock", "doc.on.doc", "square.and.arrow.up",
                                 "arrow.triangle.branch", "line.3.horizontal", "stop.fill"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void everySymbolHasAnImage() {
        QFETCH(QString, symbol);
        // No icon theme here: the bundled drawing must be there.
        const QIcon icon = symbolIcon(symbol);
        QVERIFY(!icon.isNull());
        const QImage image =
            icon.pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(16, 16));
        int inked = 0;
        int clear = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x)
                (qAlpha(image.pixel(x, y)) > 128 ? inked : clear) += 1;
        }
        // A drawing, neither empty nor a filled square of the whole size.
        QVERIFY2(inked >= 12, qPrintable(QString::number(inked)));
        QVERIFY2(clear >= 12, qPrintable(QString::number(clear)));
    }

    void symbolColours() {
        // The stop square is white whatever the palette.
        const QImage stop = symbolIcon(QStringLiteral("stop.fill"))
                                .pixmap(QSize(16, 16), 1.0)
                                .toImage()
                                .convertToFormat(QImage::Format_ARGB32);
        QVERIFY(isWhite(stop.pixel(8, 8)));

        // The others take the palette's text colour, so dark themes work.
        const QPalette saved = QGuiApplication::palette();
        QPalette dark = saved;
        dark.setColor(QPalette::WindowText, QColor(250, 250, 250));
        QApplication::setPalette(dark);
        const QImage lines = symbolIcon(QStringLiteral("line.3.horizontal"))
                                 .pixmap(QSize(16, 16), 1.0)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        QApplication::setPalette(saved);
        int inked = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb pixel = lines.pixel(x, y);
                if (qAlpha(pixel) < 128)
                    continue;
                ++inked;
                QVERIFY(qAbs(qRed(pixel) - 250) <= 4);
                QVERIFY(qAbs(qGreen(pixel) - 250) <= 4);
                QVERIFY(qAbs(qBlue(pixel) - 250) <= 4);
            }
        }
        QVERIFY(inked > 0);
    }

    void unknownSymbolHasNoImage() {
        QVERIFY(symbolIcon(QStringLiteral("no.such.symbol")).isNull());
        QVERIFY(symbolIcon(QString()).isNull());
        QVERIFY(bundledSymbolPath(QStringLiteral("no.such.symbol")).isEmpty());
    }
};

MARVOLINE_TEST_MAIN(TestStopButton)
#include "tst_views_stopbutton.moc"
