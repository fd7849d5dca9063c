// The copy menu and the share menu: which items a file gets, what each item
// puts on the clipboard, that a copy which cannot be made leaves the
// clipboard as it was, and what the sharing programs are given.
#include "support/TestMain.h"

#include "chooser/CopyContent.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>

using namespace marvoline;

namespace {

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage sampleImage() {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(2, 1, qRgb(0, 0, 255));
    return image;
}

QList<int> tagsOf(const QMenu* menu) {
    QList<int> tags;
    for (const QAction* a : menu->actions())
        tags.append(a->data().toInt());
    return tags;
}

QAction* itemWithTag(const QMenu* menu, CopyTag tag) {
    for (QAction* a : menu->actions()) {
        if (a->data().toInt() == int(tag))
            return a;
    }
    return nullptr;
}

void writeScript(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Sets PATH for the length of a scope.
class SearchPath {
public:
    explicit SearchPath(const QString& path)
        : m_old(qgetenv("PATH")) {
        qputenv("PATH", QFile::encodeName(path));
    }
    ~SearchPath() { qputenv("PATH", m_old); }

private:
    QByteArray m_old;
};

} // namespace

class TestCopyShare final : public QObject {
    Q_OBJECT

public:
    explicit TestCopyShare(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private Q_SLOTS:
    void initTestCase() {
        m_png = m_sandbox.writeFile(QStringLiteral("copy/picture.png"), pngBytes(sampleImage()));
        m_markdown = m_sandbox.writeFile(QStringLiteral("copy/NOTES.MD"), "# Notes\nnaïve\n");
        // Not text by its content: only the extension can make it text.
        m_swift = m_sandbox.writeFile(QStringLiteral("copy/main.swift"),
                                      QByteArray("print(1)\n\x00\x01", 11));
        QCOMPARE(MainViewController::contentTypeIdentifier(m_swift),
                 std::optional<QString>(QStringLiteral("application/octet-stream")));
        m_upperSwift = m_sandbox.writeFile(QStringLiteral("copy/APP.SWIFT"),
                                           QByteArray("let a = 1\n\x00\x02", 13));
        m_plain = m_sandbox.writeFile(QStringLiteral("copy/readme.txt"), "plain ✓\n");
        m_other = m_sandbox.writeFile(QStringLiteral("copy/data.bin"), QByteArray("\x00\x01", 2));
        m_folder = m_sandbox.writeFile(QStringLiteral("copy/Folder/inside.txt"), "x");
        m_folder = QUrl::fromLocalFile(QFileInfo(m_folder.toLocalFile()).absolutePath());
        m_fakeBin = m_sandbox.root() + QStringLiteral("/share-bin");
        QDir().mkpath(m_fakeBin);
    }

    void init() {
        m_sandbox.clearRecords();
        // Something the user had copied before.
        QGuiApplication::clipboard()->setText(QStringLiteral("what the user had"));
    }

    void menuItems_data() {
        QTest::addColumn<QList<QUrl>>("files");
        QTest::addColumn<QList<int>>("tags");
        QTest::newRow("PNG: name, file, path, image")
            << QList<QUrl>{m_png} << QList<int>{0, 1, 2, 3, 5};
        QTest::newRow("capital .MD is text")
            << QList<QUrl>{m_markdown} << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow(".swift is text by its extension")
            << QList<QUrl>{m_swift} << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("capital .SWIFT: the extension ignores case")
            << QList<QUrl>{m_upperSwift} << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("binary: neither text nor image")
            << QList<QUrl>{m_other} << QList<int>{0, 1, 2, 3};
        QTest::newRow("folder: name, folder, path")
            << QList<QUrl>{m_folder} << QList<int>{0, 1, 2, 3};
        QTest::newRow("three files, text first")
            << QList<QUrl>{m_plain, m_png, m_folder} << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("missing file is no folder")
            << QList<QUrl>{QUrl::fromLocalFile(m_sandbox.root() + QStringLiteral("/gone.png"))}
            << QList<int>{0, 1, 2, 3, 5};
    }
    void menuItems() {
        QFETCH(QList<QUrl>, files);
        QFETCH(QList<int>, tags);
        MainViewController vc;
        vc.configure(files, true, true);
        vc.showFiles();
        QCOMPARE(tagsOf(vc.copyPopUp->menu()), tags);
    }

    void itemContents_data() {
        QTest::addColumn<QList<QUrl>>("files");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("text");     // expected plain text, if any
        QTest::addColumn<QList<QUrl>>("urls"); // expected URLs, if any
        const QString folderPath = m_folder.toLocalFile();
        QTest::newRow("file name") << QList<QUrl>{m_markdown, m_png} << int(CopyTag::Name)
                                   << QStringLiteral("NOTES.MD") << QList<QUrl>{};
        QTest::newRow("file path") << QList<QUrl>{m_markdown, m_png} << int(CopyTag::Path)
                                   << m_markdown.toLocalFile() << QList<QUrl>{};
        QTest::newRow("text of the first file only")
            << QList<QUrl>{m_markdown, m_plain} << int(CopyTag::Text)
            << QStringLiteral("# Notes\nnaïve\n") << QList<QUrl>{};
        QTest::newRow("every file") << QList<QUrl>{m_plain, m_png, m_folder} << int(CopyTag::File)
                                    << QString() << QList<QUrl>{m_plain, m_png, m_folder};
        QTest::newRow("folder name") << QList<QUrl>{m_folder} << int(CopyTag::Name)
                                     << QStringLiteral("Folder") << QList<QUrl>{};
        QTest::newRow("folder path")
            << QList<QUrl>{m_folder} << int(CopyTag::Path) << folderPath << QList<QUrl>{};
    }
    void itemContents() {
        QFETCH(QList<QUrl>, files);
        QFETCH(int, tag);
        QFETCH(QString, text);
        QFETCH(QList<QUrl>, urls);
        MainViewController vc;
        vc.configure(files, true, false);
        vc.showFiles();
        QVERIFY(!vc.isTimerPaused);
        QAction* item = itemWithTag(vc.copyPopUp->menu(), CopyTag(tag));
        QVERIFY(item);
        item->trigger();
        QVERIFY(vc.isTimerPaused); // choosing an item stops the countdown

        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        if (!text.isNull())
            QCOMPARE(data->text(), text);
        QCOMPARE(data->urls(), urls);
        if (!urls.isEmpty()) {
            // File managers paste files from this.
            QByteArray expected = "copy";
            for (const QUrl& u : urls)
                expected += '\n' + u.toEncoded();
            QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), expected);
        }
    }

    void imageItemCopiesTheImage() {
        MainViewController vc;
        vc.configure({m_png}, true, true);
        vc.showFiles();
        itemWithTag(vc.copyPopUp->menu(), CopyTag::Image)->trigger();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data && data->hasImage());
        const QImage copied = qvariant_cast<QImage>(data->imageData());
        QCOMPARE(copied.convertToFormat(QImage::Format_RGB32), sampleImage());
    }

    // A copy that cannot be made leaves what the user had copied.
    void failedCopyKeepsTheClipboard_data() {
        QTest::addColumn<QByteArray>("contents"); // empty: the file disappears
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tag");
        QTest::newRow("text that is not UTF-8")
            << QByteArray("caf\xe9\n") << QStringLiteral("latin1.txt") << int(CopyTag::Text);
        QTest::newRow("text of a vanished file")
            << QByteArray() << QStringLiteral("gone.txt") << int(CopyTag::Text);
        QTest::newRow("image that is no image")
            << QByteArray("not a png") << QStringLiteral("fake.png") << int(CopyTag::Image);
        QTest::newRow("image of a vanished file")
            << QByteArray() << QStringLiteral("gone.png") << int(CopyTag::Image);
        QTest::newRow("header") << QByteArray("x") << QStringLiteral("header.txt")
                                << int(CopyTag::Header);
    }
    void failedCopyKeepsTheClipboard() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, name);
        QFETCH(int, tag);
        const QUrl file = m_sandbox.writeFile(QStringLiteral("fail/") + name,
                                              contents.isEmpty() ? "x" : contents);
        MainViewController vc;
        vc.configure({file}, true, false);
        vc.showFiles();
        if (contents.isEmpty())
            QVERIFY(QFile::remove(file.toLocalFile()));
        QAction* item = itemWithTag(vc.copyPopUp->menu(), CopyTag(tag));
        QVERIFY(item);
        vc.onCopyItemSelected(item);
        QVERIFY(vc.isTimerPaused);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("what the user had"));
    }

    void oversizedTextIsNotCopied() {
        const QUrl file = m_sandbox.writeFile(QStringLiteral("big/huge.log.txt"), "start\n");
        {
            // Sparse: takes no room on disk.
            QFile f(file.toLocalFile());
            QVERIFY(f.resize(maxTextCopyBytes + 1));
        }
        QVERIFY(!copyContent(CopyTag::Text, {file}));
        const QUrl small = m_sandbox.writeFile(QStringLiteral("big/small.txt"), "small");
        QVERIFY(copyContent(CopyTag::Text, {small}));
    }

    void textAndImageOfAFolderWriteNothing() {
        QVERIFY(!copyContent(CopyTag::Text, {m_folder}));
        QVERIFY(!copyContent(CopyTag::Image, {m_folder}));
        QVERIFY(!copyContent(CopyTag::Name, {}));
    }

    void everyNewMenuPausesWhenItOpens() {
        MainViewController vc;
        vc.configure({m_plain}, true, false);
        vc.showFiles();
        QMenu* first = vc.copyPopUp->menu();
        vc.configure({m_png}, true, false);
        vc.showFiles(); // a new menu for the new file, and a new countdown
        QMenu* second = vc.copyPopUp->menu();
        QVERIFY(second != first);
        QVERIFY(!vc.isTimerPaused);
        second->popup(QPoint(0, 0));
        QVERIFY(vc.isTimerPaused);
        second->close();
    }

    // Fake sharing programs record what they are given; the KDE Connect one
    // lists two devices.
    void shareMenuHandsOverEveryFile_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QList<QByteArray>>("arguments");
        const QList<QUrl> files = threeFiles();
        const QByteArray a = localPath(files.at(0)), b = localPath(files.at(1)),
                         c = localPath(files.at(2));
        QTest::newRow("e-mail") << QStringLiteral("E-mail") << QStringLiteral("xdg-email")
                                << QList<QByteArray>{"--attach", a, "--attach", b, "--attach", c};
        QTest::newRow("KDE Connect device")
            << QStringLiteral("My Phone (KDE Connect)") << QStringLiteral("kdeconnect-cli")
            << QList<QByteArray>{"--device", "abc123",
                                 "--share",  files.at(0).toEncoded(),
                                 "--share",  files.at(1).toEncoded(),
                                 "--share",  files.at(2).toEncoded()};
        QTest::newRow("Bluetooth")
            << QStringLiteral("Bluetooth…") << QStringLiteral("bluetooth-sendto")
            << QList<QByteArray>{a, b, c};
    }
    void shareMenuHandsOverEveryFile() {
        QFETCH(QString, title);
        QFETCH(QString, program);
        QFETCH(QList<QByteArray>, arguments);
        installFakeSharePrograms();
        SearchPath path(m_fakeBin + QStringLiteral(":/usr/bin:/bin"));

        MainViewController vc;
        vc.configure(threeFiles(), true, false);
        vc.showFiles();
        vc.onShareTapped(vc.shareButton);
        QVERIFY(vc.isTimerPaused);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = vc.findChild<QMenu*>(QStringLiteral("shareMenu"))));
        QStringList titles;
        for (const QAction* a : menu->actions())
            titles.append(a->text());
        QCOMPARE(titles, (QStringList{"E-mail", "My Phone (KDE Connect)", "Tablet (KDE Connect)",
                                      "Bluetooth…"}));
        menu->actions().at(titles.indexOf(title))->trigger();
        QTRY_COMPARE(m_sandbox.recordedLaunches(program).size(), 1);
        QCOMPARE(m_sandbox.recordedLaunches(program).first(), arguments);
    }

    void shareWithNothingInstalledSaysSo() {
        const QString empty = m_sandbox.root() + QStringLiteral("/empty-bin");
        QDir().mkpath(empty);
        SearchPath path(empty);
        MainViewController vc;
        vc.configure({m_plain}, true, true);
        vc.showFiles();
        vc.onShareTapped(vc.shareButton);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = vc.findChild<QMenu*>(QStringLiteral("shareMenu"))));
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Nothing to share with"));
        QVERIFY(!menu->actions().first()->isEnabled());
    }

    void failingDeviceListingLeavesTheOtherServices() {
        writeScript(m_fakeBin + QStringLiteral("/kdeconnect-cli"), "#!/bin/sh\nexit 3\n");
        writeScript(m_fakeBin + QStringLiteral("/xdg-email"), "#!/bin/sh\nexit 0\n");
        QFile::remove(m_fakeBin + QStringLiteral("/bluetooth-sendto"));
        SearchPath path(m_fakeBin);
        MainViewController vc;
        vc.configure({m_plain}, true, true);
        vc.showFiles();
        vc.onShareTapped(vc.shareButton);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = vc.findChild<QMenu*>(QStringLiteral("shareMenu"))));
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("E-mail"));
    }

private:
    QList<QUrl> threeFiles() const { return {m_plain, m_png, m_markdown}; }

    void installFakeSharePrograms() {
        const QByteArray recorder = QFile::encodeName(m_sandbox.recorderPath());
        writeScript(m_fakeBin + QStringLiteral("/xdg-email"),
                    "#!/bin/sh\nexec " + recorder + " xdg-email \"$@\"\n");
        writeScript(m_fakeBin + QStringLiteral("/bluetooth-sendto"),
                    "#!/bin/sh\nexec " + recorder + " bluetooth-sendto \"$@\"\n");
        writeScript(m_fakeBin + QStringLiteral("/kdeconnect-cli"),
                    "#!/bin/sh\n"
                    "if [ \"$1\" = --list-available ]; then\n"
                    "  printf 'abc123 My Phone\\nff00 Tablet\\n'; exit 0\n"
                    "fi\n"
                    "exec " +
                        recorder + " kdeconnect-cli \"$@\"\n");
    }

    test::XdgSandbox& m_sandbox;
    QUrl m_png, m_markdown, m_swift, m_upperSwift, m_plain, m_other, m_folder;
    QString m_fakeBin;
};

MARVOLINE_TEST_MAIN(TestCopyShare)
#include "tst_chooser_copy.moc"
