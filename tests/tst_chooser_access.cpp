// The chooser for keyboard, screen-reader and low-vision users, in process: names, tool tips,
// tab order, text contrast in a light and a dark palette, text sizes that follow the font.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "views/StopTimerButton.h"
#include "views/WindowDragHandleView.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

#include <cmath>

using namespace marvoline;
using namespace Qt::StringLiterals;

namespace {

const QString viewerId = u"org.example.Viewer.desktop"_s;
const QString editorId = u"org.example.Editor.desktop"_s;

// The chooser showing the files in an active window, without margins as in the shell.
struct Shown : test::ChooserWindow {
    explicit Shown(const QList<QUrl>& files) {
        window.layout()->setContentsMargins({});
        vc->configure(files, true, false);
        vc->showFiles();
        QApplication::setActiveWindow(&window);
    }
};

QString accessibleName(QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
}

// WCAG 2 contrast ratio.
double contrast(QRgb a, QRgb b) {
    const auto luminance = [](QRgb rgb) {
        const auto linear = [](int value) {
            const double c = value / 255.0;
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) +
               0.0722 * linear(qBlue(rgb)) + 0.05;
    };
    return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

// A dark palette as many themes make one: the disabled texts a mid grey.
QPalette darkPalette() {
    QPalette p = QApplication::style()->standardPalette();
    for (const auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
        p.setColor(role, QColor(53, 53, 53));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(role, Qt::white);
        p.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    }
    return p;
}

// The best contrast of the text a widget draws against what lies behind it: the
// pixels that change when its text colour is made transparent are the text's.
double textContrast(QWidget& window, QWidget* text) {
    const QRect area(text->mapTo(&window, QPoint()), text->size());
    const auto image = [&] {
        return window.grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage shown = image();
    const QPalette saved = text->palette();
    QPalette clear = saved;
    clear.setColor(text->foregroundRole(), Qt::transparent);
    text->setPalette(clear);
    const QImage blank = image();
    text->setPalette(saved);
    double best = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            best = std::max(best, contrast(shown.pixel(x, y), blank.pixel(x, y)));
    return best;
}

// The contrast of a symbol's ink, the colour of its most opaque pixel, on a ground; 0: no ink.
double symbolContrast(const QPixmap& symbol, const QColor& ground) {
    const QImage image = symbol.toImage().convertToFormat(QImage::Format_ARGB32);
    QRgb ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > qAlpha(ink))
                ink = image.pixel(x, y);
    return qAlpha(ink) ? contrast(ink, ground.rgb()) : 0;
}

} // namespace

class TestChooserAccess final : public QObject {
    Q_OBJECT

public:
    explicit TestChooserAccess(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        for (const QString& id : {viewerId, editorId})
            m_sandbox.addApp(id, id.section(u'.', 2, 2), {u"text/plain"_s});
        m_sandbox.writeMimeinfoCache({{u"text/plain"_s, {viewerId, editorId}}});
        m_sandbox.writeDefaults({{u"text/plain"_s, viewerId}});
    }

private Q_SLOTS:
    void initTestCase() {
        m_files = {m_sandbox.writeFile(u"access/one.txt"_s, "1\n"),
                   m_sandbox.writeFile(u"access/two.txt"_s, "2\n")};
        m_font = QApplication::font();
        // A theme with dark grey copy and menu symbols, as symbolic icons are.
        m_sandbox.writeFile(u"icons/symbolic/index.theme"_s,
                            "[Icon Theme]\nDirectories=16\n[16]\nSize=16\nType=Scalable\n");
        for (const QString& name : {u"edit-copy"_s, u"open-menu-symbolic"_s})
            m_sandbox.writeFile(u"icons/symbolic/16/%1.svg"_s.arg(name),
                                "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                                "<rect width='16' height='16' fill='#2e3436'/></svg>");
        QIcon::setThemeSearchPaths({m_sandbox.root() + u"/files/icons"_s});
        QIcon::setThemeName(u"symbolic"_s);
    }
    void cleanup() {
        QApplication::setFont(m_font);
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    void namesAndToolTips() {
        Shown c(m_files);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        MainViewController& vc = *c.vc;
        QCOMPARE(accessibleName(test::tiles(vc).at(0)), u"Open with Viewer"_s);
        QCOMPARE(vc.stopTimerButton->toolTip(), u"Stop opening with Viewer automatically"_s);
        QCOMPARE(vc.setDefaultButton->text(),
                 u"Always ask with Marvoline for every plain text document"_s);
        QCOMPARE(vc.setDefaultButton->toolTip(),
                 u"Files of this type will open through "
                 u"Marvoline; it remembers Viewer as their default."_s);
        const auto unknown =
            test::showing({m_sandbox.writeFile(u"blob.unknown-kind"_s, QByteArray("\0\xff", 2))});
        QCOMPARE(unknown->setDefaultButton->text(),
                 u"Always ask with Marvoline for files of this type"_s);

        // The focused tile moves into the overflow menu; the focus to the button that opens it.
        QTest::keyClick(test::tiles(vc).at(0), Qt::Key_Right);
        vc.populateAppButtons(test::candidates(8) << vc.allAppCandidates.at(1), m_files.first());
        QCOMPARE(QApplication::focusWidget(), vc.trailingButton);
        QCOMPARE(accessibleName(vc.trailingButton), u"More applications"_s);
    }

    void tabGoesThroughTheTilesThenTheOptions() {
        Shown c(m_files);
        QVERIFY(QTest::qWaitForWindowActive(&c.window));
        const MainViewController& vc = *c.vc;
        QList<QWidget*> visited{QApplication::focusWidget()};
        while (visited.size() < 5) {
            QTest::keyClick(visited.last(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        QCOMPARE(visited, (QList<QWidget*>{test::tiles(vc).at(0), test::tiles(vc).at(1),
                                           vc.trailingButton, vc.ruleButton, vc.laterPopUp}));
    }

    void textsReadInLightAndDarkPalettes_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QApplication::style()->standardPalette();
        QTest::newRow("dark") << darkPalette();
    }
    void textsReadInLightAndDarkPalettes() {
        QFETCH(QPalette, palette);
        QApplication::setPalette(palette);
        Shown c(m_files);
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        MainViewController& vc = *c.vc;
        vc.pauseTimer(); // no countdown fill behind the default tile's texts
        QList<AppCandidate> versioned = vc.allAppCandidates;
        for (AppCandidate& candidate : versioned)
            candidate.version = u"44.1"_s;
        vc.populateAppButtons(versioned, m_files.first());

        QList<QWidget*> texts{vc.dragHandle->label(), vc.setDefaultButton, vc.ruleButton,
                              vc.laterPopUp,          vc.copyPopUp,        vc.shareButton,
                              vc.closeButton};
        for (AppIconButton* tile : test::tiles(vc))
            texts << tile->label() << tile->versionLabel();
        for (QWidget* text : texts)
            QVERIFY2(textContrast(c.window, text) >= 4.5,
                     qPrintable(text->property("text").toString()));
        // Monochrome symbols take the text colour: grip marks and option symbols.
        for (QLabel* grip : vc.dragHandle->findChildren<QLabel*>())
            QVERIFY(grip == vc.dragHandle->label() ||
                    symbolContrast(grip->pixmap(), palette.color(QPalette::Base)) >= 3);
        for (QToolButton* option : {vc.ruleButton, vc.laterPopUp, vc.copyPopUp, vc.shareButton})
            QVERIFY2(symbolContrast(option->icon().pixmap(option->iconSize()),
                                    palette.color(QPalette::Button)) >= 3,
                     qPrintable(option->text()));
    }

    void largerFontGivesLargerTextWithRoom() {
        Shown c(m_files);
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        const MainViewController& vc = *c.vc;
        const int normal = QFontInfo(m_font).pixelSize();
        QFont large = m_font;
        large.setPointSizeF(m_font.pointSizeF() * 2);
        QApplication::setFont(large);
        // Texts a little smaller than the font grow with it past one and a half times the old.
        const auto texts = [&vc] {
            return QList<const QWidget*>{test::tiles(vc).at(0)->label(), vc.dragHandle->label(),
                                         vc.ruleButton, vc.setDefaultButton};
        };
        for (int i = 0; i < 4; ++i)
            QTRY_VERIFY(QFontInfo(texts().at(i)->font()).pixelSize() > normal * 1.5);

        // The window keeps room for the options row at its natural width.
        const QWidget* options = vc.optionsStack;
        QTRY_VERIFY(c.window.minimumWidth() >= options->sizeHint().width());
        QTRY_COMPARE(options->width(), options->sizeHint().width());
        const QRect optionsArea(options->mapTo(&c.window, QPoint()), options->size());
        QVERIFY(c.window.rect().contains(optionsArea));
    }

private:
    test::XdgSandbox& m_sandbox;
    QList<QUrl> m_files;
    QFont m_font;
};

MARVOLINE_TEST_MAIN(TestChooserAccess)
#include "tst_chooser_access.moc"
