// How the chooser reads: every text keeps WCAG AA contrast against what is
// drawn behind it in a light and a dark palette, monochrome symbols take the
// text colour, a larger desktop font gives larger text with room for it, and
// the set-default check box names the file's type.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "views/AppIconButton.h"
#include "views/WindowDragHandleView.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

using namespace marvoline;

namespace {

const QString viewerId = QStringLiteral("org.example.Viewer.desktop");
const QString editorId = QStringLiteral("org.example.Editor.desktop");

// WCAG 2 relative luminance and contrast ratio.
double luminance(QRgb rgb) {
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}
double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark palette made the way many themes make one: the main roles set, the
// placeholder and disabled colours left as they come.
QPalette darkPalette() {
    QPalette p = QApplication::style()->standardPalette();
    const QColor window(53, 53, 53), text(Qt::white);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(42, 42, 42));
    p.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
    return p;
}

struct Chooser {
    QWidget window;
    MainViewController* vc = new MainViewController;

    explicit Chooser(const QList<QUrl>& files) {
        window.resize(560, 420);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(vc);
        window.show();
        vc->configure(files, true, false);
        vc->showFiles();
        vc->pauseTimer(); // no countdown fill over the default tile
    }
    QList<AppIconButton*> tiles() const {
        return vc->appStackView->findChildren<AppIconButton*>(QString(),
                                                              Qt::FindDirectChildrenOnly);
    }
    QImage image() { return window.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// The contrast of the text a widget draws against what lies behind it: the
// window is rendered with the text, then with the widget's text colour made
// transparent; the pixels that differ are the text's. The best of them counts,
// as a reader sees the full-strength strokes of the letters.
double textContrast(Chooser& c, QWidget* textWidget) {
    const QImage shown = c.image();
    const QPalette saved = textWidget->palette();
    QPalette clear = saved;
    clear.setColor(textWidget->foregroundRole(), Qt::transparent);
    textWidget->setPalette(clear);
    const QImage blank = c.image();
    textWidget->setPalette(saved);

    const qreal ratio = shown.devicePixelRatio();
    const QRect area(textWidget->mapTo(&c.window, QPoint(0, 0)) * ratio,
                     textWidget->size() * ratio);
    double best = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (shown.pixel(x, y) != blank.pixel(x, y))
                best = std::max(best, contrast(shown.pixel(x, y), blank.pixel(x, y)));
        }
    }
    return best; // 0: nothing of the text was drawn
}

// The least contrast of a symbol's opaque pixels against a ground colour.
double symbolContrast(const QPixmap& symbol, const QColor& ground) {
    const QImage image = symbol.toImage().convertToFormat(QImage::Format_ARGB32);
    double least = 21;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255)
                least = std::min(least, contrast(image.pixel(x, y), ground.rgb()));
        }
    }
    return least;
}

} // namespace

class TestChooserAppearance final : public QObject {
    Q_OBJECT

public:
    explicit TestChooserAppearance(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        const QStringList types{QStringLiteral("text/plain"), QStringLiteral("application/pdf")};
        m_sandbox.addApp(viewerId, QStringLiteral("Document Viewer"), types);
        m_sandbox.addApp(editorId, QStringLiteral("Document Viewer"), types);
        // Two applications of one name: the tiles show their versions.
        m_sandbox.addMetainfo(viewerId, {QStringLiteral("44.1")});
        m_sandbox.addMetainfo(editorId, {QStringLiteral("3.2")});
        m_sandbox.writeMimeinfoCache({{QStringLiteral("text/plain"), {viewerId, editorId}},
                                      {QStringLiteral("application/pdf"), {viewerId, editorId}}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), viewerId}});
    }

private Q_SLOTS:
    void initTestCase() {
        m_file = m_sandbox.writeFile(QStringLiteral("look/notes.txt"), "notes\n");
        m_font = QApplication::font();
        m_palette = QApplication::palette();
    }
    void cleanup() {
        QApplication::setFont(m_font);
        QApplication::setPalette(m_palette);
    }

    void textsReadInEveryPalette_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<QString>("screenshot");
        QTest::newRow("light") << QApplication::style()->standardPalette() << QString();
        QTest::newRow("dark") << darkPalette() << QStringLiteral("chooser-dark.png");
    }
    void textsReadInEveryPalette() {
        QFETCH(QPalette, palette);
        QFETCH(QString, screenshot);
        QApplication::setPalette(palette);
        Chooser c({m_file});
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        MainViewController& vc = *c.vc;
        const QList<AppIconButton*> tiles = c.tiles();
        QCOMPARE(tiles.size(), 2);

        QList<QPair<QString, QWidget*>> texts;
        for (AppIconButton* tile : tiles) {
            QVERIFY(tile->versionLabel()->isVisible());
            texts.append({tile->title() + QStringLiteral(" name"), tile->label()});
            texts.append({tile->title() + QStringLiteral(" version"), tile->versionLabel()});
        }
        texts.append({QStringLiteral("Drag Me"), vc.dragHandle->label()});
        for (QToolButton* option : {vc.ruleButton, vc.laterPopUp, vc.copyPopUp, vc.shareButton,
                                    vc.closeButton, vc.trailingButton})
            texts.append({option->text(), option});
        QVERIFY(vc.setDefaultButton->isVisible());
        texts.append({vc.setDefaultButton->text(), vc.setDefaultButton});

        for (const auto& [what, widget] : texts) {
            const double measured = textContrast(c, widget);
            QVERIFY2(measured >= 4.5,
                     qPrintable(QStringLiteral("%1: %2:1").arg(what).arg(measured, 0, 'f', 2)));
        }

        // Monochrome symbols are drawn in the text colour: the grip marks on
        // the handle's ground, the options' symbols on the buttons.
        const QList<QLabel*> grips = vc.dragHandle->findChildren<QLabel*>();
        for (QLabel* grip : grips) {
            if (grip != vc.dragHandle->label())
                QVERIFY(symbolContrast(grip->pixmap(), palette.color(QPalette::Base)) >= 3.0);
        }
        for (QToolButton* option : {vc.ruleButton, vc.laterPopUp, vc.copyPopUp, vc.shareButton}) {
            const QPixmap symbol = option->icon().pixmap(option->iconSize());
            QVERIFY2(symbolContrast(symbol, palette.color(QPalette::Button)) >= 3.0,
                     qPrintable(option->text()));
        }

        if (const QString dir = qEnvironmentVariable("MARVOLINE_SCREENSHOT_DIR");
            !dir.isEmpty() && !screenshot.isEmpty()) {
            tiles.at(1)->setFocus(); // shows the focus ring
            QVERIFY(c.window.grab().save(QDir(dir).filePath(screenshot)));
        }
    }

    void focusRingInTheHighlightColour() {
        QApplication::setPalette(darkPalette());
        Chooser c({m_file});
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        AppIconButton* tile = c.tiles().at(1);
        const QRgb highlight = darkPalette().color(QPalette::Highlight).rgb();
        const auto ringPixels = [&] {
            const QImage image = tile->grab().toImage().convertToFormat(QImage::Format_RGB32);
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += image.pixel(x, y) == highlight;
            return count;
        };
        QCOMPARE(ringPixels(), 0);
        tile->setFocus();
        QVERIFY(tile->hasFocus() || QApplication::focusWidget() == tile);
        // Around the tile: at least its width on the top and bottom edges.
        QVERIFY(ringPixels() > 2 * (AppIconButton::kWidth - 32));
    }

    void largerFontGivesLargerTextWithRoom_data() {
        QTest::addColumn<bool>("whileShown");
        QTest::newRow("font set before the chooser is shown") << false;
        QTest::newRow("font changed while it is shown") << true;
    }
    void largerFontGivesLargerTextWithRoom() {
        QFETCH(bool, whileShown);
        QFont large = m_font;
        large.setPointSizeF(m_font.pointSizeF() * 2);

        int nameBefore = 0, optionBefore = 0, dragBefore = 0;
        {
            Chooser normal({m_file});
            nameBefore = QFontInfo(normal.tiles().at(0)->label()->font()).pixelSize();
            optionBefore = QFontInfo(normal.vc->ruleButton->font()).pixelSize();
            dragBefore = QFontInfo(normal.vc->dragHandle->label()->font()).pixelSize();
        }
        if (!whileShown)
            QApplication::setFont(large);
        Chooser c({m_file});
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        if (whileShown)
            QApplication::setFont(large);
        MainViewController& vc = *c.vc;

        QTRY_VERIFY(QFontInfo(c.tiles().at(0)->label()->font()).pixelSize() > nameBefore * 1.5);
        QVERIFY(QFontInfo(vc.ruleButton->font()).pixelSize() > optionBefore * 1.5);
        QVERIFY(QFontInfo(vc.setDefaultButton->font()).pixelSize() > optionBefore * 1.5);
        QVERIFY(QFontInfo(vc.dragHandle->label()->font()).pixelSize() > dragBefore * 1.5);

        // The window widens to the options row, which keeps its natural width
        // and stays inside; the names still fit their tiles.
        QTRY_VERIFY(c.window.width() >= vc.optionsStack->sizeHint().width() + 24);
        QVERIFY(c.window.minimumWidth() >= vc.optionsStack->sizeHint().width() + 24);
        QTRY_COMPARE(vc.optionsStack->width(), vc.optionsStack->sizeHint().width());
        const QRect options(vc.optionsStack->mapTo(&c.window, QPoint(0, 0)),
                            vc.optionsStack->size());
        QVERIFY(c.window.rect().contains(options));
        for (QWidget* control :
             vc.optionsStack->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (control->isVisible())
                QVERIFY2(control->width() >= control->sizeHint().width(),
                         qPrintable(control->objectName() + control->metaObject()->className()));
        }
        // The tiles grew taller and stand clear of the options row.
        QTRY_VERIFY(c.tiles().at(0)->height() > AppIconButton::kHeight);
        const auto bottomOf = [&c](QWidget* w) {
            return w->mapTo(&c.window, QPoint(0, w->height())).y();
        };
        QTRY_VERIFY(bottomOf(c.tiles().at(0)) <=
                    vc.optionsStack->mapTo(&c.window, QPoint(0, 0)).y());
        QVERIFY(bottomOf(vc.optionsStack) <= c.window.height());
    }

    void setDefaultTextsNameTheTypeAndThePreviousDefault_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("plain text, the viewer is its default")
            << QStringLiteral("doc.txt") << QByteArray("some words\n")
            << QStringLiteral("Always ask with Marvoline for every plain text document")
            << QStringLiteral("Files of this type will open through Marvoline; it remembers "
                              "Document Viewer as their default.");
        QTest::newRow("PDF, the first application the registry names is its default")
            << QStringLiteral("doc.pdf") << QByteArray("%PDF-1.4\n")
            << QStringLiteral("Always ask with Marvoline for every PDF document")
            << QStringLiteral("Files of this type will open through Marvoline; it remembers "
                              "Document Viewer as their default.");
        QTest::newRow("unknown type, no application")
            << QStringLiteral("blob.unknown-kind") << QByteArray("\0\x01\x02\xff", 4)
            << QStringLiteral("Always ask with Marvoline for files of this type")
            << QStringLiteral("Files of this type will open through Marvoline.");
    }
    void setDefaultTextsNameTheTypeAndThePreviousDefault() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, contents);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        const QUrl file = m_sandbox.writeFile(QStringLiteral("types/") + fileName, contents);
        Chooser c({file});
        QVERIFY(c.vc->setDefaultButton->isVisible());
        QCOMPARE(c.vc->setDefaultButton->text(), text);
        QCOMPARE(c.vc->setDefaultButton->toolTip(), toolTip);
    }

private:
    test::XdgSandbox& m_sandbox;
    QUrl m_file;
    QFont m_font;
    QPalette m_palette;
};

MARVOLINE_TEST_MAIN(TestChooserAppearance)
#include "tst_chooser_appearance.moc"
