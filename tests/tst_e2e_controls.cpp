// On a real X server with a window manager: the copy menu's items for a file and what another
// process (xclip) then reads from the clipboard, what the sharing programs are given, and the
// window manager's maximize request, which zooms the chooser instead.
#include "support/Chooser.h"
#include "support/RawFiles.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "chooser/CopyContent.h"
#include "main/AppDelegate.h"
#include "platform/FilePaths.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>

using namespace marvoline;
using namespace marvoline::test;
using namespace Qt::StringLiterals;
using Urls = QList<QUrl>;

namespace {

// Applications for text files: more than fit the window as it first appears.
constexpr int kApps = 10;
const QString userText = u"what the user had"_s;

// What another process reads from the clipboard as the type.
QByteArray readClipboard(const QString& type) {
    QProcess xclip;
    QSignalSpy finished(&xclip, &QProcess::finished);
    xclip.start(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-o"_s, u"-t"_s, type});
    // The event loop runs meanwhile: this process answers xclip's request.
    return finished.wait(10000) ? xclip.readAllStandardOutput() : "(xclip did not finish)";
}

} // namespace

class TestEndToEndControls final : public QObject {
    Q_OBJECT

public:
    explicit TestEndToEndControls(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        QStringList ids;
        for (int i = 0; i < kApps; ++i) {
            ids.append(u"org.example.App%1.desktop"_s.arg(i));
            m_sandbox.addApp(ids.last(), u"App %1"_s.arg(i), {u"text/plain"_s});
        }
        m_sandbox.writeMimeinfoCache({{u"text/plain"_s, ids}});
        m_sandbox.writeDefaults({{u"text/plain"_s, ids.first()}});
    }

private:
    XdgSandbox& m_sandbox;
    WindowManager m_wm;
    const QString m_bin = m_sandbox.root() + u"/share-bin"_s; // the sharing programs
    const QByteArray m_path = qgetenv("PATH");
    QUrl m_png, m_markdown, m_swift, m_plain, m_folder, m_huge;
    QImage m_image{2, 1, QImage::Format_RGB32}; // the PNG's

    // The share menu's titles, "(title)" when disabled, once the sharing programs are the named
    // ones, each running the script.
    QStringList openShareMenu(MainViewController& vc, const QStringList& programs,
                              QByteArray script) {
        delete vc.findChild<QMenu*>(u"shareMenu"_s);
        QDir(m_bin).removeRecursively();
        QDir().mkpath(m_bin);
        for (const QString& name : programs) {
            QFile f(m_bin + u'/' + name);
            if (!f.open(QIODevice::WriteOnly) || f.write("#!/bin/sh\n" + script) < 0)
                return {u"(cannot write)"_s};
            f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(m_bin)); // until cleanup()
        vc.onShareTapped(vc.shareButton);
        if (!vc.isTimerPaused) // at once: listing the devices takes a while
            return {u"(not paused)"_s};
        QMenu* menu = nullptr;
        (void)QTest::qWaitFor([&] { return (menu = vc.findChild<QMenu*>(u"shareMenu"_s)); });
        QStringList titles;
        for (const QAction* a : menu ? menu->actions() : QList<QAction*>())
            titles.append(a->isEnabled() ? a->text() : u'(' + a->text() + u')');
        return titles;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
        m_image.fill(Qt::red);
        m_image.setPixel(1, 0, qRgb(0, 0, 255));
        m_png = m_sandbox.writeFile(u"copy/picture one.png"_s, {});
        QVERIFY(m_image.save(m_png.toLocalFile(), "PNG"));
        m_markdown = m_sandbox.writeFile(u"copy/NOTES.MD"_s, "# Notes\nnaïve\n");
        // Its type is no text type: only its extension makes it text.
        m_swift = m_sandbox.writeFile(u"copy/App.SWIFT"_s, QByteArray("let a = 1\n\x00\x02", 12));
        QCOMPARE(MainViewController::contentTypeIdentifier(m_swift),
                 std::optional(u"application/octet-stream"_s));
        m_plain = m_sandbox.writeFile(u"copy/readme.txt"_s, "plain ✓\n");
        const QUrl inside = m_sandbox.writeFile(u"copy/Folder/inside.txt"_s, "x");
        m_folder = QUrl::fromLocalFile(QFileInfo(inside.toLocalFile()).path());
        m_huge = m_sandbox.writeFile(u"copy/huge.txt"_s, "start\n");
        QVERIFY(QFile::resize(m_huge.toLocalFile(), maxTextCopyBytes + 1)); // sparse: no room taken
    }
    void init() {
        m_sandbox.clearRecords();
        QGuiApplication::clipboard()->setText(userText);
    }
    void cleanup() { qputenv("PATH", m_path); }

    // The menu's items for the file kind (header 0, name, file, path, text, image 5), and what one
    // of them puts on the clipboard, read as the type.
    void copyMenu_data() {
        QTest::addColumn<Urls>("files");
        QTest::addColumn<QList<int>>("items"); // empty: not checked
        QTest::addColumn<CopyTag>("tag");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("expected"); // image/png: the PNG's image
        const QList<int> text{0, 1, 2, 3, 4}, none;
        const QString utf8 = u"UTF8_STRING"_s;
        QTest::newRow("PNG: image") << Urls{m_png} << QList<int>{0, 1, 2, 3, 5} << CopyTag::Image
                                    << u"image/png"_s << QByteArray();
        QTest::newRow(".MD: text of the first file")
            << Urls{m_markdown, m_plain} << text << CopyTag::Text << utf8 << "# Notes\nnaïve\n"_ba;
        QTest::newRow(".SWIFT of no text type: name")
            << Urls{m_swift} << text << CopyTag::Name << utf8 << "App.SWIFT"_ba;
        QTest::newRow("folder: path") << Urls{m_folder, m_png} << QList<int>{0, 1, 2, 3}
                                      << CopyTag::Path << utf8 << localPath(m_folder);
        const Urls three{m_plain, m_png, m_folder};
        const QByteArray encoded =
            m_plain.toEncoded() + '\n' + m_png.toEncoded() + '\n' + m_folder.toEncoded();
        QTest::newRow("text file first: every file")
            << three << text << CopyTag::File << u"text/uri-list"_s << encoded;
        QTest::newRow("every file, for file managers")
            << three << text << CopyTag::File << u"x-special/gnome-copied-files"_s
            << "copy\n" + encoded;
        // Nothing to copy: the clipboard keeps what the user had.
        const QByteArray had = userText.toUtf8();
        const QUrl latin1 = m_sandbox.writeFile(u"copy/latin1.txt"_s, "caf\xe9\n");
        const QUrl fakePng = m_sandbox.writeFile(u"copy/fake.png"_s, "not a png");
        const QUrl gone = QUrl::fromLocalFile(m_sandbox.root() + u"/gone.txt"_s);
        QTest::newRow("header") << Urls{m_plain} << none << CopyTag::Header << utf8 << had;
        QTest::newRow("text not UTF-8") << Urls{latin1} << none << CopyTag::Text << utf8 << had;
        QTest::newRow("text of a file gone") << Urls{gone} << none << CopyTag::Text << utf8 << had;
        QTest::newRow("text over 64 MiB") << Urls{m_huge} << none << CopyTag::Text << utf8 << had;
        QTest::newRow("image that is none")
            << Urls{fakePng} << none << CopyTag::Image << utf8 << had;
    }
    void copyMenu() {
        QFETCH(Urls, files);
        QFETCH(QList<int>, items);
        QFETCH(CopyTag, tag);
        QFETCH(QString, type);
        QFETCH(QByteArray, expected);
        const auto vc = showing({m_folder}); // then the files: the menu is made anew for them
        vc->configure(files, true, false);
        vc->showFiles();
        QMenu* menu = vc->copyPopUp->menu();
        QList<int> tags;
        for (const QAction* a : menu->actions())
            tags.append(a->data().toInt());
        if (!items.isEmpty())
            QCOMPARE(tags, items);
        QVERIFY(tags.contains(int(tag)));
        QVERIFY(!vc->isTimerPaused);
        menu->popup({});
        QVERIFY(vc->isTimerPaused); // every new menu pauses when it opens
        Q_EMIT menu->triggered(menu->actions().at(tags.indexOf(int(tag)))); // as when chosen
        menu->close();

        const QByteArray read = readClipboard(type);
        if (type == u"image/png")
            QCOMPARE(QImage::fromData(read).convertToFormat(QImage::Format_RGB32), m_image);
        else if (type == u"text/uri-list")
            QCOMPARE(QByteArray(read).replace("\r\n", "\n").trimmed(), expected);
        else
            QCOMPARE(read, expected);
    }

    void shareMenuListsTheServicesAndHandsOverEveryFile() {
        // The last one's name is not UTF-8: every service gets its bytes.
        RawFiles raw;
        const QByteArray latin1 = QFile::encodeName(m_sandbox.root()) + "/share/caf\xe9.txt";
        QVERIFY(raw.write(latin1, "x\n"));
        const Urls files{m_plain, m_png, m_markdown, fileUrlFromPath(latin1)};
        const auto vc = showing(files);
        QCOMPARE(openShareMenu(*vc, {}, {}), QStringList{u"(Nothing to share with)"_s});
        // A device listing that fails leaves the other services.
        QCOMPARE(openShareMenu(*vc, {u"kdeconnect-cli"_s, u"xdg-email"_s}, "exit 3"),
                 QStringList{u"E-mail"_s});
        // Programs that record what they are given; KDE Connect lists two devices.
        const QStringList titles = openShareMenu(
            *vc, {u"xdg-email"_s, u"kdeconnect-cli"_s, u"bluetooth-sendto"_s},
            "[ \"$1\" = --list-available ] && printf 'abc123 My Phone\\nff00 Tablet\\n' && exit\n"
            "PATH=/usr/bin:/bin exec '" +
                QFile::encodeName(m_sandbox.recorderPath()) + "' \"${0##*/}\" \"$@\"\n");
        QCOMPARE(titles, (QStringList{u"E-mail"_s, u"My Phone (KDE Connect)"_s,
                                      u"Tablet (KDE Connect)"_s, u"Bluetooth…"_s}));
        QMenu* menu = vc->findChild<QMenu*>(u"shareMenu"_s);
        for (int i : {0, 1, 3})
            menu->actions().at(i)->trigger();
        const QByteArray a = localPath(files[0]), b = localPath(files[1]), c = localPath(files[2]);
        QCOMPARE(localPath(files[3]), latin1);
        using Launches = QList<QList<QByteArray>>;
        QTRY_COMPARE(m_sandbox.recordedLaunches(u"xdg-email"_s),
                     (Launches{{"--attach", a, "--attach", b, "--attach", c, "--attach", latin1}}));
        QTRY_COMPARE(m_sandbox.recordedLaunches(u"kdeconnect-cli"_s),
                     (Launches{{"--device", "abc123", "--share", files[0].toEncoded(), "--share",
                                files[1].toEncoded(), "--share", files[2].toEncoded(), "--share",
                                files[3].toEncoded()}}));
        QTRY_COMPARE(m_sandbox.recordedLaunches(u"bluetooth-sendto"_s),
                     (Launches{{a, b, c, latin1}}));
    }

    void maximizeRequestZoomsTheChooser() {
        AppDelegate delegate;
        delegate.openUrls({m_plain});
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(vc);
        vc->pauseTimer();
        QWidget* window = delegate.window;
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // Once the window manager has placed and decorated the window.
        QTRY_VERIFY(window->frameGeometry() != window->geometry());
        QTest::qWait(MainViewController::windowSettleMs * 2);
        const QRect before = window->geometry();
        // Every tile (96 wide, overlapping by 8), the add button and the margins.
        const int zoomedWidth = kApps * 88 + 112;
        QVERIFY(window->width() < zoomedWidth && !vc->overflowApps.isEmpty());

        // The window manager's own maximize request: a double click on the title bar.
        const QRect frame = window->frameGeometry();
        xdotool({u"mousemove"_s, QString::number(frame.center().x()),
                 QString::number((frame.top() + before.top()) / 2), u"click"_s, u"--repeat"_s,
                 u"2"_s, u"1"_s});
        QTRY_COMPARE_WITH_TIMEOUT(window->width(), zoomedWidth, 5000);
        QVERIFY(!window->isMaximized());
        QCOMPARE(window->height(), before.height());
        QCOMPARE(window->geometry().top(), before.top());
        QTRY_VERIFY(vc->overflowApps.isEmpty()); // every candidate has its tile
    }
};

MARVOLINE_TEST_MAIN(TestEndToEndControls)
#include "tst_e2e_controls.moc"
