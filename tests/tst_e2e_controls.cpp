// On a real X server with a window manager: another process reads back what
// the copy menu put on the clipboard; the window manager's maximize request
// zooms the chooser instead; real key presses and clicks pause the countdown.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "chooser/CopyContent.h"
#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"

#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>

using namespace marvoline;
using namespace marvoline::test;

namespace {

// What another process reads from the clipboard for the target type.
QByteArray readClipboard(const QString& target) {
    QProcess xclip;
    QSignalSpy finished(&xclip, &QProcess::finished);
    QStringList args{QStringLiteral("-selection"), QStringLiteral("clipboard"),
                     QStringLiteral("-o")};
    if (!target.isEmpty())
        args << QStringLiteral("-t") << target;
    xclip.start(QStringLiteral("xclip"), args);
    // The event loop must run meanwhile: this process answers xclip's request.
    if (!finished.wait(10000))
        return "(xclip did not finish)";
    return xclip.readAllStandardOutput();
}

QAction* itemWithTag(const QMenu* menu, CopyTag tag) {
    for (QAction* a : menu->actions()) {
        if (a->data().toInt() == int(tag))
            return a;
    }
    return nullptr;
}

// Applications for text files: more than fit the window as it first appears.
constexpr int kApps = 10;

QImage sampleImage() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::green);
    image.setPixel(3, 2, qRgb(255, 0, 255));
    return image;
}

} // namespace

class TestEndToEndControls final : public QObject {
    Q_OBJECT

public:
    explicit TestEndToEndControls(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        QStringList ids;
        for (int i = 0; i < kApps; ++i) {
            ids.append(QStringLiteral("org.example.App%1.desktop").arg(i));
            m_sandbox.addApp(ids.last(), QStringLiteral("App %1").arg(i),
                             {QStringLiteral("text/plain")});
        }
        m_sandbox.writeMimeinfoCache({{QStringLiteral("text/plain"), ids}});
        m_sandbox.writeDefaults({{QStringLiteral("text/plain"), ids.first()}});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        sampleImage().save(&buffer, "PNG");
        m_text = m_sandbox.writeFile(QStringLiteral("e2e/notes.txt"), "hello ✓\n");
        m_image = m_sandbox.writeFile(QStringLiteral("e2e/picture one.png"), png);
    }

    void clipboardIsReadByAnotherProcess() {
        MainViewController vc;
        vc.configure({m_text, m_image}, true, true);
        vc.showFiles();
        QMenu* menu = vc.copyPopUp->menu();

        itemWithTag(menu, CopyTag::File)->trigger();
        const QList<QByteArray> uris = readClipboard(QStringLiteral("text/uri-list"))
                                           .replace("\r\n", "\n")
                                           .trimmed()
                                           .split('\n');
        QCOMPARE(uris, (QList<QByteArray>{m_text.toEncoded(), m_image.toEncoded()}));
        QCOMPARE(readClipboard(QStringLiteral("x-special/gnome-copied-files")),
                 "copy\n" + m_text.toEncoded() + '\n' + m_image.toEncoded());

        itemWithTag(menu, CopyTag::Text)->trigger();
        QCOMPARE(QString::fromUtf8(readClipboard(QString())), QStringLiteral("hello ✓\n"));

        itemWithTag(menu, CopyTag::Path)->trigger();
        QCOMPARE(readClipboard(QString()), localPath(m_text));

        vc.configure({m_image}, true, true);
        vc.showFiles();
        itemWithTag(vc.copyPopUp->menu(), CopyTag::Image)->trigger();
        const QImage image = QImage::fromData(readClipboard(QStringLiteral("image/png")), "PNG");
        QCOMPARE(image.convertToFormat(QImage::Format_RGB32), sampleImage());
    }

    void maximizeRequestZoomsTheChooser() {
        AppDelegate delegate;
        delegate.openUrls({m_text});
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(vc);
        vc->pauseTimer();
        QWidget* window = delegate.window;
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(vc->allAppCandidates.size(), kApps);
        // Let the window manager finish placing and decorating the window.
        QTRY_VERIFY(window->frameGeometry() != window->geometry());
        QTest::qWait(MainViewController::windowSettleMs * 2);
        const QRect before = window->geometry();
        // Every tile (96 wide, overlapping by 8), the add button and the margins.
        const int zoomedWidth = kApps * 88 + 112;
        QVERIFY(window->width() < zoomedWidth);
        QVERIFY(!vc->overflowApps.isEmpty());

        // The window manager's own maximize request: a double click on the
        // title bar.
        const QRect frame = window->frameGeometry();
        const QPoint titleBar(frame.center().x(), (frame.top() + before.top()) / 2);
        xdotool({QStringLiteral("mousemove"), QString::number(titleBar.x()),
                 QString::number(titleBar.y()), QStringLiteral("click"), QStringLiteral("--repeat"),
                 QStringLiteral("2"), QStringLiteral("1")});
        QTRY_COMPARE_WITH_TIMEOUT(window->width(), zoomedWidth, 5000);
        QVERIFY(!window->isMaximized());
        QCOMPARE(window->height(), before.height());
        QCOMPARE(window->geometry().top(), before.top());
        QTRY_VERIFY(vc->overflowApps.isEmpty()); // every candidate has its tile
        // The window manager does not maximize it after all.
        QTest::qWait(300);
        QCOMPARE(window->width(), zoomedWidth);
        QVERIFY(!window->isMaximized());
    }

    void realKeysAndClicksPause() {
        AppDelegate delegate;
        delegate.openUrls({m_text});
        MainViewController* vc = delegate.mainViewController;
        QWidget* window = delegate.window;
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_VERIFY(window->isActiveWindow());
        QVERIFY(!vc->isTimerPaused);
        xdotool({QStringLiteral("key"), QStringLiteral("Shift_L")});
        QTRY_VERIFY(vc->isTimerPaused);

        vc->startTimer(m_text, std::nullopt);
        const QPoint onRow = vc->appContainer->mapToGlobal(QPoint(2, 2));
        xdotool({QStringLiteral("mousemove"), QString::number(onRow.x()),
                 QString::number(onRow.y()), QStringLiteral("click"), QStringLiteral("1")});
        QTest::qWait(300);
        QVERIFY(!vc->isTimerPaused);
        const QPoint onPreview =
            vc->previewContainer->mapToGlobal(vc->previewContainer->rect().center());
        xdotool({QStringLiteral("mousemove"), QString::number(onPreview.x()),
                 QString::number(onPreview.y()), QStringLiteral("click"), QStringLiteral("1")});
        QTRY_VERIFY(vc->isTimerPaused);
    }

private:
    test::XdgSandbox& m_sandbox;
    WindowManager m_wm;
    QUrl m_text, m_image;
};

MARVOLINE_TEST_MAIN(TestEndToEndControls)
#include "tst_e2e_controls.moc"
