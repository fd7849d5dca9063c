// The chooser on a real X server with a window manager and session bus: used from the keyboard
// alone and by a screen reader (an AT-SPI client); what another process (xclip) reads from the
// clipboard after a copy; what sharing programs are given; the window manager's maximize request,
// which zooms the chooser instead; a real drag from the handle onto this test's own window.
#include "support/Chooser.h"
#include "support/RawFiles.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "chooser/CopyContent.h"
#include "main/AppDelegate.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/ShareServices.h"
#include "views/MenuButton.h"
#include "views/WindowDragHandleView.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QToolButton>

#include <sys/stat.h>

using namespace marvoline;
using namespace marvoline::test;
using namespace Qt::StringLiterals;
using Urls = QList<QUrl>;
using Launches = QList<QList<QByteArray>>;

namespace {

// Text files open with Viewer (the default), Editor or Reader; PNG images with more
// applications than fit the window as it first appears.
constexpr int kImageApps = 10;
const QString userText = u"what the user had"_s;

// What another process (xclip) reads from the clipboard as the type; the event loop runs
// meanwhile, so that this process can answer when it owns the clipboard.
QByteArray readClipboard(const QString& type) {
    QProcess xclip;
    QSignalSpy finished(&xclip, &QProcess::finished);
    xclip.start(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-o"_s, u"-t"_s, type});
    if (!finished.wait(10000))
        return "(xclip did not finish)";
    return xclip.readAllStandardOutput();
}

// The clipboard holders serving this test's X display.
QList<qint64> clipboardHolders() {
    QList<qint64> holders;
    const QByteArray display = "DISPLAY=" + qgetenv("DISPLAY");
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        QFile cmdline(u"/proc/"_s + entry + u"/cmdline"_s),
            environ(u"/proc/"_s + entry + u"/environ"_s);
        if (!isPid || !cmdline.open(QIODevice::ReadOnly) || !environ.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> words = cmdline.readAll().split('\0');
        if (words.size() > 1 && words.at(1) == "--hold-clipboard" &&
            environ.readAll().split('\0').contains(display))
            holders.append(pid);
    }
    return holders;
}

// What the AT-SPI client (support/atspi_probe.py) prints; empty when it fails.
QStringList probe(qint64 pid, const QStringList& extra = {}) {
    return runTool(QStringLiteral(ATSPI_PYTHON),
                   QStringList{QStringLiteral(ATSPI_PROBE), QString::number(pid)} + extra, 30000)
        .split(u'\n', Qt::SkipEmptyParts);
}

void movePointer(QPoint p) {
    xdotool({u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
}

// A window that takes dropped URLs with the action the source proposes, and notes where on the
// screen it accepted the drag, the actions offered and the text/uri-list lines as they came.
class DropTarget : public QWidget {
public:
    DropTarget() {
        setAcceptDrops(true);
        setFixedSize(300, 300);
    }
    QList<QPoint> acceptedAt;
    QByteArray dropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* event) override {
        event->acceptProposedAction();
        acceptedAt.append(mapToGlobal(event->position().toPoint()));
    }
    void dropEvent(QDropEvent* event) override {
        event->acceptProposedAction();
        dropped = QByteArray::number(event->possibleActions()) + '\n' +
                  event->mimeData()->data(u"text/uri-list"_s).replace("\r\n", "\n");
    }
};

} // namespace

class TestEndToEndControls final : public QObject {
    Q_OBJECT

public:
    explicit TestEndToEndControls(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        for (const QString& id : {viewerId, editorId, readerId})
            m_sandbox.addApp(id, id.section(u'.', 2, 2), {u"text/plain"_s});
        QStringList imageApps;
        for (int i = 0; i < kImageApps; ++i) {
            imageApps.append(u"org.example.App%1.desktop"_s.arg(i));
            m_sandbox.addApp(imageApps.last(), u"App %1"_s.arg(i), {u"image/png"_s});
        }
        // Something handles mailto: URIs, so that E-mail can be offered.
        const QString mail = u"org.example.Mail.desktop"_s;
        m_sandbox.addApp(mail, u"Mail"_s, {u"x-scheme-handler/mailto"_s});
        m_sandbox.writeMimeinfoCache({{u"text/plain"_s, {viewerId, editorId, readerId}},
                                      {u"image/png"_s, imageApps},
                                      {u"x-scheme-handler/mailto"_s, {mail}}});
        m_sandbox.writeDefaults({{u"text/plain"_s, viewerId}, {u"image/png"_s, imageApps.first()}});
    }

private:
    XdgSandbox& m_sandbox;
    WindowManager m_wm;
    const QString m_bin = m_sandbox.root() + u"/share-bin"_s; // the sharing programs
    const QByteArray m_path = qgetenv("PATH");
    const int m_allocationLimit = QImageReader::allocationLimit();
    QUrl m_png, m_markdown, m_plain, m_folder, m_huge, m_bigPng;
    QUrl m_fifoText, m_fifoImage;      // pipes, named as a text file and an image
    QUrl m_latin1Folder, m_latin1Text; // named in Latin-1, not UTF-8
    RawFiles m_raw;
    QImage m_image{2, 1, QImage::Format_RGB32}; // the PNG's
    Launches m_launch; // of the text and the Markdown file, by a chooser for both

    // The share menu's titles, "(title)" when disabled, once the sharing programs are the named
    // ones, each running the script.
    QStringList openShareMenu(MainViewController& vc, const QStringList& programs,
                              QByteArray script) {
        delete vc.findChild<QMenu*>(u"shareMenu"_s);
        QDir(m_bin).removeRecursively();
        for (const QString& name : programs) {
            XdgSandbox::writeBytes(m_bin + u'/' + name, "#!/bin/sh\n" + script);
            QFile::setPermissions(m_bin + u'/' + name, QFile::ReadOwner | QFile::ExeOwner);
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
        m_plain = m_sandbox.writeFile(u"copy/readme.txt"_s, "plain ✓\n");
        const QUrl inside = m_sandbox.writeFile(u"copy/Folder/inside.txt"_s, "x");
        m_folder = QUrl::fromLocalFile(QFileInfo(inside.toLocalFile()).path());
        m_huge = m_sandbox.writeFile(u"copy/huge.txt"_s, "start\n");
        QVERIFY(QFile::resize(m_huge.toLocalFile(), maxTextCopyBytes + 1)); // sparse: no room taken
        m_launch = {{localPath(m_plain), localPath(m_markdown)}};
        // 1200 x 600 pixels of four bytes each: over a limit of 1 MiB.
        m_bigPng = m_sandbox.writeFile(u"copy/big.png"_s, {});
        QImage big(1200, 600, QImage::Format_ARGB32);
        big.fill(Qt::darkGreen);
        QVERIFY(big.save(m_bigPng.toLocalFile(), "PNG"));
        const QByteArray copies = localPath(m_png).chopped(int(qstrlen("/picture one.png")));
        for (const char* name : {"/pipe.txt", "/pipe.png"})
            QVERIFY(::mkfifo(QByteArray(copies + name).constData(), 0600) == 0);
        m_fifoText = fileUrlFromPath(copies + "/pipe.txt");
        m_fifoImage = fileUrlFromPath(copies + "/pipe.png");
        const QByteArray folder = copies + "/caf\xe9-folder";
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        m_latin1Folder = fileUrlFromPath(folder);
        QVERIFY(m_raw.write(folder + "/caf\xe9.txt", "naïve\n"));
        m_latin1Text = fileUrlFromPath(folder + "/caf\xe9.txt");
        // RawFiles made the folder's lossily decoded name too: no such folder must exist.
        QVERIFY(QDir().rmdir(QFile::decodeName(folder)));
    }
    void cleanupTestCase() {
        ::unlink(localPath(m_latin1Text).constData());
        ::rmdir(localPath(m_latin1Folder).constData());
    }
    void init() {
        m_sandbox.clearRecords();
        QGuiApplication::clipboard()->setText(userText);
    }
    void cleanup() {
        qputenv("PATH", m_path);
        QImageReader::setAllocationLimit(m_allocationLimit);
    }

    // The tiles are Viewer (the default, focused at start), Editor, Reader and Each with its own
    // default.
    void keysAloneChooseTheApplication_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("opened"); // empty: nothing
        const auto row = [](const char* keys, const QString& opened) {
            QTest::newRow(keys) << QString::fromLatin1(keys) << opened;
        };
        row("Tab shift+Tab Right Return", editorId);  // back to the row where it was left
        row("Tab Tab Tab Tab Tab Return", QString()); // the row is one Tab stop; Close
        row("Right Return", editorId);
        row("Escape", QString());
        row("Left space", viewerId); // stays on the first tile
        // The files are of two types: Each with its own default follows the applications, and
        // the row ends with Other…, where Right stops.
        row("Right Right Right Right Right Left Left KP_Enter", readerId);
        row("End Left Left Left space", editorId);
        row("End Left space", viewerId);              // each type's default: the Viewer's, for both
        row("Tab Tab Tab Tab Tab Escape", QString()); // from an option
    }
    void keysAloneChooseTheApplication() {
        QFETCH(QString, keys);
        QFETCH(QString, opened);
        ChooserProcess chooser({m_plain, m_markdown});
        xdotool({u"windowactivate"_s, u"--sync"_s, chooser.window});
        xdotool(QStringList{u"key"_s, u"--clearmodifiers"_s, u"--delay"_s, u"60"_s} +
                keys.split(u' '));
        QVERIFY(chooser.endsWell(3000)); // well before the countdown ends
        if (opened.isEmpty())
            QTest::qWait(500); // a launch would be recorded by now
        else
            QTRY_COMPARE(m_sandbox.recordedLaunches(opened), m_launch);
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(),
                 opened.isEmpty() ? 0 : 1);
    }

    // The menu's items for the file kind (header 0, name, file, path, text, image 5), and what one
    // of them puts on the clipboard, read as the type; or, when the copy cannot happen, what the
    // message line says while the clipboard keeps what the user had.
    void copyMenu_data() {
        QTest::addColumn<Urls>("files");
        QTest::addColumn<QList<int>>("items"); // empty: not checked
        QTest::addColumn<CopyTag>("tag");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("expected"); // image/png: the PNG's image
        QTest::addColumn<QString>("message");     // empty: the copy happens
        QTest::addColumn<bool>("folderItems");    // the items name a folder, not a file
        const QList<int> text{0, 1, 2, 3, 4}, file{0, 1, 2, 3}, none;
        const QString utf8 = u"UTF8_STRING"_s;
        QTest::newRow("PNG: image") << Urls{m_png} << QList<int>{0, 1, 2, 3, 5} << CopyTag::Image
                                    << u"image/png"_s << QByteArray() << QString() << false;
        QTest::newRow(".MD: text of the first file")
            << Urls{m_markdown, m_plain} << text << CopyTag::Text << utf8 << "# Notes\nnaïve\n"_ba
            << QString() << false;
        QTest::newRow("folder: path") << Urls{m_folder, m_png} << file << CopyTag::Path << utf8
                                      << localPath(m_folder) << QString() << true;
        const Urls three{m_plain, m_png, m_folder};
        const QByteArray encoded =
            m_plain.toEncoded() + '\n' + m_png.toEncoded() + '\n' + m_folder.toEncoded();
        QTest::newRow("text file first: every file")
            << three << text << CopyTag::File << u"text/uri-list"_s << encoded << QString()
            << false;
        QTest::newRow("every file, for file managers")
            << three << text << CopyTag::File << u"x-special/gnome-copied-files"_s
            << "copy\n" + encoded << QString() << false;
        // Text in the file's own encoding.
        const QUrl latin1 = m_sandbox.writeFile(u"copy/latin1.txt"_s, "caf\xe9 cr\xe8me\n");
        QTest::newRow("Latin-1 text") << Urls{latin1} << text << CopyTag::Text << utf8
                                      << "café crème\n"_ba << QString() << false;
        const QUrl utf16 = m_sandbox.writeFile(u"copy/utf16.txt"_s, "\xff\xfeh\0i\0\n\0"_ba);
        QTest::newRow("UTF-16 text with its mark")
            << Urls{utf16} << text << CopyTag::Text << utf8 << "hi\n"_ba << QString() << false;
        // Names that are not UTF-8: the folder is a folder, the text file's text is read.
        QTest::newRow("folder named in Latin-1")
            << Urls{m_latin1Folder} << file << CopyTag::File << u"text/uri-list"_s
            << m_latin1Folder.toEncoded() << QString() << true;
        QTest::newRow("text file named in Latin-1") << Urls{m_latin1Text} << text << CopyTag::Text
                                                    << utf8 << "naïve\n"_ba << QString() << false;
        // An image larger than Qt decodes is copied scaled down (checked below).
        QTest::newRow("image over the allocation limit")
            << Urls{m_bigPng} << QList<int>{0, 1, 2, 3, 5} << CopyTag::Image << u"image/png"_s
            << "scaled"_ba << QString() << false;
        // Nothing to copy: the clipboard keeps what the user had, and the message line says why.
        const QByteArray had = userText.toUtf8();
        const QUrl binary = m_sandbox.writeFile(u"copy/binary.txt"_s, "ab\0\x01\x02 cd"_ba);
        const QUrl fakePng = m_sandbox.writeFile(u"copy/fake.png"_s, "not a png");
        QTest::newRow("binary .txt") << Urls{binary} << text << CopyTag::Text << utf8 << had
                                     << u"binary.txt holds no text that can be copied."_s << false;
        QTest::newRow("text over 64 MiB") << Urls{m_huge} << text << CopyTag::Text << utf8 << had
                                          << u"huge.txt is too large to copy as text."_s << false;
        QTest::newRow("image that is none")
            << Urls{fakePng} << QList<int>{0, 1, 2, 3, 5} << CopyTag::Image << utf8 << had
            << u"fake.png is not an image that can be copied."_s << false;
        // Not regular files: no text or image to read, so no such items.
        QTest::newRow("pipe named .txt") << Urls{m_fifoText} << file << CopyTag::Name << utf8
                                         << "pipe.txt"_ba << QString() << false;
        QTest::newRow("pipe named .png") << Urls{m_fifoImage} << file << CopyTag::Name << utf8
                                         << "pipe.png"_ba << QString() << false;
        const QUrl gone = QUrl::fromLocalFile(m_sandbox.root() + u"/gone.txt"_s);
        QTest::newRow("file gone")
            << Urls{gone} << file << CopyTag::Path << utf8 << localPath(gone) << QString() << false;
    }
    void copyMenu() {
        QFETCH(Urls, files);
        QFETCH(QList<int>, items);
        QFETCH(CopyTag, tag);
        QFETCH(QString, type);
        QFETCH(QByteArray, expected);
        QFETCH(QString, message);
        QFETCH(bool, folderItems);
        // The big image is big for a limit of 1 MiB; restored by cleanup().
        QImageReader::setAllocationLimit(1);
        const auto vc = showing({m_folder}); // then the files: the menu is made anew for them
        vc->configure(files, true, false);
        vc->showFiles();
        QMenu* menu = vc->copyPopUp->popUpMenu();
        QList<int> tags;
        for (const QAction* a : menu->actions())
            tags.append(a->data().toInt());
        if (!items.isEmpty())
            QCOMPARE(tags, items);
        QCOMPARE(menu->actions().at(1)->text(), folderItems ? u"Folder Name"_s : u"File Name"_s);
        QVERIFY(tags.contains(int(tag)) && !vc->isTimerPaused);
        menu->popup({});
        QVERIFY(vc->isTimerPaused); // every new menu pauses when it opens
        QSignalSpy changed(QGuiApplication::clipboard(), &QClipboard::dataChanged);
        Q_EMIT menu->triggered(menu->actions().at(tags.indexOf(int(tag)))); // as when chosen
        menu->close();
        // Text and images are read in the background: the copy or its message comes later.
        QTRY_VERIFY(!changed.isEmpty() || !vc->messageLabel->isHidden());
        QCOMPARE(vc->messageLabel->isHidden() ? QString() : vc->messageLabel->text(), message);
        if (!message.isEmpty())
            QTest::qWait(200); // a late copy would show by now

        // What another process reads from the clipboard as the type; the event loop runs
        // meanwhile, so that this process answers xclip's request.
        const QByteArray read = readClipboard(type);
        if (expected == "scaled") {
            const QImage image = QImage::fromData(read);
            QVERIFY(!image.isNull());
            QVERIFY2(qint64(image.width()) * image.height() * 4 <= 1024 * 1024,
                     qPrintable(u"%1x%2"_s.arg(image.width()).arg(image.height())));
            QVERIFY(qAbs(image.width() - 2 * image.height()) <= 2); // its shape kept
        } else if (type == u"image/png") {
            QCOMPARE(QImage::fromData(read).convertToFormat(QImage::Format_RGB32), m_image);
        } else if (type == u"text/uri-list") {
            QCOMPARE(QByteArray(read).replace("\r\n", "\n").trimmed(), expected);
        } else {
            QCOMPARE(read, expected);
        }
    }

    // Every kind the menu copies can still be read once the chooser has ended: a holder serves it
    // until another program copies. The item is the number of Down presses in the open menu.
    void clipboardOutlivesTheChooser_data() {
        QTest::addColumn<Urls>("files");
        QTest::addColumn<int>("item");
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<QList<QByteArray>>("expected"); // image/png: the PNG's image
        using Bytes = QList<QByteArray>;
        const QString utf8 = u"UTF8_STRING"_s;
        QTest::newRow("name") << Urls{m_plain} << 1 << QStringList{utf8} << Bytes{"readme.txt"};
        QTest::newRow("files") << Urls{m_plain, m_png} << 2
                               << QStringList{u"text/uri-list"_s, u"x-special/gnome-copied-files"_s}
                               << Bytes{m_plain.toEncoded() + '\n' + m_png.toEncoded(),
                                        "copy\n" + m_plain.toEncoded() + '\n' + m_png.toEncoded()};
        QTest::newRow("path") << Urls{m_plain} << 3 << QStringList{utf8, u"STRING"_s}
                              << Bytes{localPath(m_plain), localPath(m_plain)};
        QTest::newRow("text") << Urls{m_plain} << 4 << QStringList{utf8} << Bytes{"plain ✓\n"};
        QTest::newRow("image") << Urls{m_png} << 4 << QStringList{u"image/png"_s} << Bytes{{}};
    }
    void clipboardOutlivesTheChooser() {
        QFETCH(Urls, files);
        QFETCH(int, item);
        QFETCH(QStringList, types);
        QFETCH(QList<QByteArray>, expected);
        const auto read = [this](const QString& type) {
            QByteArray bytes = readClipboard(type);
            if (type == u"image/png") {
                const QImage image = QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32);
                return image == m_image ? QByteArray() : "(another image)"_ba;
            }
            return type == u"text/uri-list" ? bytes.replace("\r\n", "\n").trimmed() : bytes;
        };
        QVERIFY(clipboardHolders().isEmpty());
        ChooserProcess chooser(files);
        const auto copy = chooser.locate([](MainViewController& vc) { return vc.copyPopUp; });
        QVERIFY(copy);
        chooser.click(*copy);
        QStringList keys{u"key"_s, u"--delay"_s, u"80"_s};
        for (int i = 0; i < item; ++i)
            keys.append(u"Down"_s);
        xdotool(keys << u"Return"_s);
        // Served by the chooser first (text and images are read in the background).
        QTRY_COMPARE_WITH_TIMEOUT(read(types.first()), expected.first(), 10000);
        xdotool({u"windowactivate"_s, u"--sync"_s, chooser.window, u"key"_s, u"Escape"_s});
        QVERIFY(chooser.endsWell(10000));
        QCOMPARE(clipboardHolders().size(), 1);
        for (int i = 0; i < types.size(); ++i)
            QCOMPARE(read(types.at(i)), expected.at(i));
        // Another program's copy ends the holder.
        QProcess xclip;
        xclip.start(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-i"_s});
        xclip.write("copied after");
        xclip.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(clipboardHolders().isEmpty(), 10000);
        QCOMPARE(readClipboard(u"UTF8_STRING"_s), "copied after"_ba);
        xclip.kill(); // it serves the text until then
        xclip.waitForFinished();
    }

    // A sharing program that fails is said in the message line; the chooser stays.
    void failedShareIsSaid_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("item"); // in the share menu
        QTest::addColumn<QString>("message");
        QTest::newRow("no mail client")
            << u"xdg-email"_s << 0 << u"Sharing with E-mail did not work."_s;
        QTest::newRow("KDE Connect refusing")
            << u"kdeconnect-cli"_s << 0 << u"Sharing with My Phone (KDE Connect) did not work."_s;
        QTest::newRow("Bluetooth refusing")
            << u"bluetooth-sendto"_s << 0 << u"Sharing with Bluetooth… did not work."_s;
    }
    void failedShareIsSaid() {
        QFETCH(QString, program);
        QFETCH(int, item);
        QFETCH(QString, message);
        const auto vc = showing({m_plain});
        const QStringList titles =
            openShareMenu(*vc, {program},
                          "[ \"$1\" = --list-available ] && printf 'abc123 My Phone\\n' && exit\n"
                          "echo 'no way' >&2; exit 3\n");
        QCOMPARE(titles.size(), 1);
        QVERIFY(vc->messageLabel->isHidden());
        vc->findChild<QMenu*>(u"shareMenu"_s)->actions().at(item)->trigger();
        QTRY_VERIFY(!vc->messageLabel->isHidden());
        QCOMPARE(vc->messageLabel->text(), message);
        QVERIFY(vc->messageLabel->toolTip().contains(u"3"_s)); // the exit status
        QVERIFY(vc->isTimerPaused);
    }

    // E-mail only where something handles mailto: URIs.
    void emailNeedsAMailHandler() {
        QDir(m_bin).removeRecursively();
        XdgSandbox::writeBytes(m_bin + u"/xdg-email"_s, "#!/bin/sh\n");
        QFile::setPermissions(m_bin + u"/xdg-email"_s, QFile::ReadOwner | QFile::ExeOwner);
        for (const bool canMail : {true, false}) {
            const ShareServices services({m_bin}, [canMail] { return canMail; });
            std::optional<QList<ShareTarget>> found;
            services.findTargets(this,
                                 [&found](const QList<ShareTarget>& targets) { found = targets; });
            QTRY_VERIFY(found);
            QCOMPARE(found->size(), canMail ? 1 : 0);
        }
        // The registry is asked by default: this sandbox has a mail application.
        QVERIFY(platform::registry().handlesUriScheme(u"mailto"_s));
        QVERIFY(!platform::registry().handlesUriScheme(u"x-no-such-scheme"_s));
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
        QList<QByteArray> email, kde{"--device", "abc123"}, paths;
        for (const QUrl& file : files) {
            email << "--attach" << localPath(file);
            kde << "--share" << file.toEncoded();
            paths << localPath(file);
        }
        QTRY_COMPARE(m_sandbox.recordedLaunches(u"xdg-email"_s), Launches{email});
        QTRY_COMPARE(m_sandbox.recordedLaunches(u"kdeconnect-cli"_s), Launches{kde});
        QTRY_COMPARE(m_sandbox.recordedLaunches(u"bluetooth-sendto"_s), Launches{paths});
    }

    // A file handed over while the application picker is open: a second `marvoline b.txt` gives
    // it to the running chooser and ends, the picker closes as cancelled, the window shows b.txt,
    // and its countdown opens b.txt alone.
    void filesHandedOverWhileThePickerIsOpen() {
        const QUrl b = m_sandbox.writeFile(u"handed/b.txt"_s, "b\n");
        ChooserProcess chooser({m_plain});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const qint64 pid = chooser.process.processId();
        const std::optional<QPoint> other =
            chooser.locate([](MainViewController& vc) { return vc.trailingButton; });
        QVERIFY(other);
        chooser.click(*other);
        QTRY_COMPARE(visibleWindowsOf(pid).size(), 2);

        QProcess second;
        second.start(QStringLiteral(MARVOLINE_EXECUTABLE), {b.toLocalFile()});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(visibleWindowsOf(pid), QStringList{chooser.window});
        QTRY_COMPARE(xdotool({u"getwindowname"_s, chooser.window}).trimmed(), u"b.txt"_s);
        QVERIFY(chooser.endsWell(15000));
        // The chooser ends once the launch has started; the application
        // records its arguments a moment later.
        QTRY_COMPARE(m_sandbox.recordedLaunches(viewerId), Launches{{localPath(b)}});
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), 1);
    }

    void maximizeRequestZoomsTheChooser() {
        AppDelegate delegate;
        delegate.openUrls({m_png});
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
        const int zoomedWidth = kImageApps * 88 + 112;
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

    void dragFromTheHandleDropsTheFirstTenFilesAsACopy() {
        Urls files; // twelve, their names with a space
        for (int i = 1; i <= 12; ++i)
            files.append(m_sandbox.writeFile(u"drag/file %1.txt"_s.arg(i), QByteArray::number(i)));
        // The window that takes the drop, left of where the chooser comes up (centred).
        DropTarget target;
        target.move(30, 200);
        target.show();
        const QString targetWindow = findWindow(QCoreApplication::applicationPid());
        QTRY_VERIFY_WITH_TIMEOUT(windowGeometry(targetWindow).width() == 300, 10000);

        ChooserProcess chooser(files);
        // A key press stops the countdown, which would otherwise end the chooser under the drag.
        xdotool({u"windowactivate"_s, u"--sync"_s, chooser.window, u"key"_s, u"Right"_s});
        const auto handle = chooser.locate([](MainViewController& vc) { return vc.dragHandle; });
        QVERIFY(handle);
        const QRect before = windowGeometry(chooser.window);
        const QPoint start = before.topLeft() + *handle,
                     end = windowGeometry(targetWindow).center();
        xdotool({u"mousemove"_s, u"--window"_s, chooser.window, QString::number(handle->x()),
                 QString::number(handle->y())});
        xdotool({u"mousedown"_s, u"1"_s});
        // Past the drag distance, still on the handle: the drag starts; then on to the target.
        movePointer(start + QPoint(-12, 0));
        for (int i = 1; i <= 8; ++i) {
            movePointer(start + (end - start) * i / 8);
            QTest::qWait(30);
        }
        // Released only once the target has taken the drag at two places: it answered the first
        // before the second reached it, so the chooser knows the drop is wanted. A chooser slowed
        // down by a busy machine may begin its drag, or send the next place, only once the
        // pointer has stopped; the drag follows the pointer's next moves, so the pointer steps
        // off and back until the target has the place.
        // One step per pass, with the events between: a place that comes while the target's
        // answer to the one before is awaited is not sent on.
        const auto dragOnto = [&](QPoint place) {
            bool off = false;
            return QTest::qWaitFor(
                [&] {
                    if (target.acceptedAt.contains(place))
                        return true;
                    off = !off;
                    movePointer(off ? place + QPoint(1, 0) : place);
                    return false;
                },
                10000);
        };
        QVERIFY2(dragOnto(end), "the drag never reached the target");
        QVERIFY2(dragOnto(end + QPoint(6, 6)), "the drag did not follow the pointer on the target");
        xdotool({u"mouseup"_s, u"1"_s});
        // Offered as a copy only; exactly the first ten files, in their order.
        QByteArray expected = QByteArray::number(Qt::CopyAction) + '\n';
        for (const QUrl& file : files.mid(0, 10))
            expected += file.toEncoded() + '\n';
        QTRY_COMPARE(target.dropped, expected);
        // The window stays where it is; Escape then ends the chooser.
        QCOMPARE(windowGeometry(chooser.window), before);
        xdotool({u"windowactivate"_s, u"--sync"_s, chooser.window, u"key"_s, u"Escape"_s});
        QVERIFY2(chooser.endsWell(20000), "the chooser did not end after the drag");
    }

    // Last: the accessibility bus stays on for the rest of this process's choosers.
    void screenReaderReadsAndPressesTheTiles() {
        // Qt puts its widgets on the accessibility bus only when asked to (a desktop asks when a
        // screen reader is on).
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        ChooserProcess chooser({m_plain, m_markdown});
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const qint64 pid = chooser.process.processId();
        QCOMPARE(probe(pid, {u"press"_s, u"Stop automatic opening"_s}), QStringList{u"pressed"_s});

        const QStringList controls = probe(pid); // "role<TAB>name"
        for (const QString& control :
             {u"push button\tOpen with Viewer"_s, u"push button\tOpen with Editor"_s})
            QVERIFY2(controls.contains(control), qPrintable(controls.join(u'|')));
        QVERIFY(!controls.filter(u"\tDrag the files to another application"_s).isEmpty());

        // Later and Copy open their menus through their show-menu action, the first item that can
        // be chosen focused, where a screen reader starts reading. Escape closes each.
        QStringList later{u"focused\tIn 10 seconds"_s};
        for (const char* item : {"In 5 minutes", "In 10 minutes", "In 15 minutes", "In 30 minutes",
                                 "In 1 hour", "In 2 hours", "Tomorrow at 9:00", "Choose a time…"})
            later.append(u"item\t"_s + QString::fromUtf8(item));
        QCOMPARE(probe(pid, {u"open"_s, u"Later"_s}), later);
        xdotool({u"key"_s, u"Escape"_s});
        QCOMPARE(probe(pid, {u"open"_s, u"Copy"_s}),
                 (QStringList{u"item\tCopy"_s, u"focused\tFile Name"_s, u"item\tFile"_s,
                              u"item\tFile Path"_s, u"item\tText"_s}));
        xdotool({u"key"_s, u"Escape"_s});

        // Pressed, a tile opens all files with its application.
        QCOMPARE(probe(pid, {u"press"_s, u"Open with Editor"_s}), QStringList{u"pressed"_s});
        QVERIFY(chooser.endsWell(5000));
        QTRY_COMPARE(m_sandbox.recordedLaunches(editorId), m_launch);
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), 1);
    }
};

MARVOLINE_TEST_MAIN(TestEndToEndControls)
#include "tst_e2e_controls.moc"
