// Files of several types: the tile that opens each file with its own type's default application
// (for real, through GIO and recording desktop entries), how the files are grouped into launches,
// what stays on show, and the preview corner's count.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"

#include <QDir>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

// Each application that gets files, with the one launch it gets.
using Launches = QMap<QString, QStringList>;

const QByteArray pdfBytes = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
const QByteArray pngBytes = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"_ba;

// The launches recorded for the application, each as the files' names.
QList<QStringList> launchedNames(const XdgSandbox& sandbox, const QString& id) {
    QList<QStringList> launches;
    for (const QList<QByteArray>& args : sandbox.recordedLaunches(id)) {
        QStringList names;
        for (const QByteArray& path : args)
            names.append(QFileInfo(QFile::decodeName(path)).fileName());
        launches.append(names);
    }
    return launches;
}

} // namespace

class TestMixed final : public QObject {
    Q_OBJECT

public:
    explicit TestMixed(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        // PDF: the reader; PNG: the viewer; the editor opens both; Python scripts: nothing.
        m_sandbox.addApp(readerId, u"Reader"_s, {u"application/pdf"_s});
        m_sandbox.addApp(viewerId, u"Viewer"_s, {u"image/png"_s});
        m_sandbox.addApp(editorId, u"Editor"_s, {u"application/pdf"_s, u"image/png"_s});
        m_sandbox.addApp(AppRegistry::ownIdentifier(), u"Marvoline"_s,
                         {u"application/pdf"_s, u"image/png"_s});
        // More PDF applications than a row has room for.
        QStringList pdfApps{readerId, editorId, AppRegistry::ownIdentifier()};
        for (int i = 1; i <= 5; ++i) {
            pdfApps.append(u"org.example.Pdf%1.desktop"_s.arg(i));
            m_sandbox.addApp(pdfApps.last(), u"PDF %1"_s.arg(i), {u"application/pdf"_s});
        }
        m_sandbox.writeMimeinfoCache(
            {{u"application/pdf"_s, pdfApps},
             {u"image/png"_s, {viewerId, editorId, AppRegistry::ownIdentifier()}}});
    }

private:
    XdgSandbox& m_sandbox;

    // The files of the names, written below a folder of the test's own, with
    // contents of the type their extension names.
    QList<QUrl> writeFiles(const QStringList& names) {
        QList<QUrl> files;
        for (const QString& name : names) {
            const QByteArray bytes = name.endsWith(u".pdf"_s)   ? pdfBytes
                                     : name.endsWith(u".png"_s) ? pngBytes
                                                                : "print('hi')\n"_ba;
            files.append(m_sandbox.writeFile(QTest::currentTestFunction() + u'/' +
                                                 QString::fromLatin1(QTest::currentDataTag()) +
                                                 u'/' + name,
                                             bytes));
        }
        return files;
    }

private Q_SLOTS:
    void init() {
        m_sandbox.clearRecords();
        PreferencesStore::standard().update([](QJsonObject& prefs) {
            for (const QString& type : {u"image/png"_s, u"image/*"_s})
                prefs.remove(MainViewController::previousDefaultKeyPrefix + type);
        });
    }

    // Three types, two of them with a default: each application receives exactly its files, in
    // their order, in one launch, the use counted; the Python script stays on show, its type named.
    void eachTypeOpensWithItsDefault() {
        m_sandbox.writeDefaults({{u"application/pdf"_s, readerId}, {u"image/png"_s, viewerId}});
        const QList<QUrl> files = writeFiles({u"a.pdf"_s, u"b.png"_s, u"c.py"_s, u"d.pdf"_s});
        ChooserWindow chooser;
        MainViewController* vc = chooser.vc;
        vc->configure(files, true, false);
        vc->showFiles();
        QVERIFY(chooser.waitUntilSettled());
        QCOMPARE(vc->selectionSummary->text(), u"4 files, 3 types"_s);
        QVERIFY(vc->selectionSummary->isVisibleTo(vc));
        const qint64 readerUses = usesOf(m_sandbox.appUrl(readerId));
        const qint64 viewerUses = usesOf(m_sandbox.appUrl(viewerId));

        // Reached from the keyboard: the last tile before the trailing button.
        QVERIFY(vc->eachTile);
        QCOMPARE(vc->eachTile->accessibleName(), u"Each with its own default"_s);
        vc->trailingButton->setFocus();
        QTest::keyClick(vc->trailingButton, Qt::Key_Left);
        QTRY_COMPARE(vc->window()->focusWidget(), vc->eachTile.data());
        QSignalSpy terminate(vc, &MainViewController::terminateRequested);
        QSignalSpy kept(vc, &MainViewController::filesKept);
        QTest::keyClick(vc->eachTile, Qt::Key_Space);

        QTRY_COMPARE_WITH_TIMEOUT(kept.size(), 1, 10000);
        QCOMPARE(kept.first().first().value<QList<QUrl>>(), QList<QUrl>{files.at(2)});
        QCOMPARE(vc->fileURLs, QList<QUrl>{files.at(2)});
        QTRY_COMPARE(launchedNames(m_sandbox, readerId),
                     (QList<QStringList>{{u"a.pdf"_s, u"d.pdf"_s}}));
        QTRY_COMPARE(launchedNames(m_sandbox, viewerId), QList<QStringList>{{u"b.png"_s}});
        QCOMPARE(usesOf(m_sandbox.appUrl(readerId)), readerUses + 1);
        QCOMPARE(usesOf(m_sandbox.appUrl(viewerId)), viewerUses + 1);
        const QString python = *platform::registry().contentTypeDescription(
            *platform::registry().contentType(files.at(2)));
        QVERIFY2(vc->messageLabel->text().contains(python), qPrintable(vc->messageLabel->text()));
        QVERIFY(vc->messageLabel->isVisibleTo(vc));
        // One file of one type is left: no tile, no count, no countdown that opens it.
        QVERIFY(!vc->eachTile && vc->isTimerPaused);
        QVERIFY(!vc->selectionSummary->isVisibleTo(vc));
        QCOMPARE(terminate.size(), 0);
    }

    // How the files are grouped into launches: by the application the row would count down to
    // for each type, the chooser itself never one of them.
    void grouping_data() {
        QTest::addColumn<QString>("pngDefault");
        QTest::addColumn<bool>("rememberEditor");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("fromMenu");
        // application -> its one launch; empty: no tile at all.
        QTest::addColumn<Launches>("launches");
        const QStringList three{u"a.pdf"_s, u"b.png"_s, u"c.pdf"_s};
        QTest::newRow("one application for two types")
            << editorId << false << three << false << Launches{{editorId, three}};
        QTest::newRow("two applications, from the overflow menu")
            << viewerId << false << three << true
            << Launches{{readerId, {u"a.pdf"_s, u"c.pdf"_s}}, {viewerId, {u"b.png"_s}}};
        QTest::newRow("chooser is the default, the previous one remembered")
            << AppRegistry::ownIdentifier() << true << three << false
            << Launches{{readerId, {u"a.pdf"_s, u"c.pdf"_s}}, {editorId, {u"b.png"_s}}};
        QTest::newRow("chooser is the default, nothing remembered")
            << AppRegistry::ownIdentifier() << false << three << false
            << Launches{{readerId, {u"a.pdf"_s, u"c.pdf"_s}}, {viewerId, {u"b.png"_s}}};
        QTest::newRow("one type only")
            << viewerId << false << QStringList{u"a.pdf"_s, u"b.pdf"_s} << false << Launches{};
    }
    void grouping() {
        QFETCH(QString, pngDefault);
        QFETCH(bool, rememberEditor);
        QFETCH(QStringList, names);
        QFETCH(bool, fromMenu);
        QFETCH(Launches, launches);
        // The PDF default is the reader, or the editor where it is the PNG default too.
        m_sandbox.writeDefaults(
            {{u"application/pdf"_s, pngDefault == editorId ? editorId : readerId},
             {u"image/png"_s, pngDefault}});
        const QList<QUrl> files = writeFiles(names);
        if (rememberEditor)
            QVERIFY(
                MainViewController::savePreviousDefault(files.at(1), m_sandbox.appUrl(editorId)));
        ChooserWindow chooser;
        MainViewController* vc = chooser.vc;
        vc->configure(files, true, false);
        vc->showFiles();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser.window));
        QSignalSpy terminate(vc, &MainViewController::terminateRequested);
        if (launches.isEmpty()) {
            QVERIFY(!vc->eachTile && !vc->showsMixedTypes());
            QCOMPARE(vc->selectionSummary->text(), u"2 files, 1 type"_s);
            return;
        }
        if (fromMenu) {
            // More PDF applications than the row has room for.
            QTRY_VERIFY(!vc->overflowApps.isEmpty());
            QMenu* menu = vc->onOverflowTapped(vc->trailingButton, false);
            const QList<QAction*> actions = menu->actions();
            auto each = std::find_if(actions.begin(), actions.end(), [&](QAction* a) {
                return a->text() == vc->eachTile->title();
            });
            QVERIFY(each != actions.end());
            (*each)->trigger();
        } else {
            QTest::mouseClick(vc->eachTile, Qt::LeftButton);
        }
        QTRY_COMPARE(terminate.size(), 1);
        for (auto it = launches.cbegin(); it != launches.cend(); ++it)
            QTRY_COMPARE(launchedNames(m_sandbox, it.key()), QList<QStringList>{it.value()});
        // And nothing else, once those have arrived.
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), launches.size());
    }
};

MARVOLINE_TEST_MAIN(TestMixed)
#include "tst_mixed.moc"
