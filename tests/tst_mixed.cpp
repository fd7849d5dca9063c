// Files of several types: the tile (or overflow entry) that opens each file with its own type's
// default application, for real through GIO and recording desktop entries; what stays on show.
#include "support/Chooser.h"
#include "support/TestMain.h"

#include "platform/AppRegistry.h"
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

// Each application that gets files, with the names of those of its one launch.
using Launches = QMap<QString, QStringList>;

class TestMixed final : public QObject {
    Q_OBJECT

public:
    explicit TestMixed(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        // PDF: the reader, and more applications than a row has room for; PNG: the viewer; the
        // editor and the chooser itself open both; Python scripts: nothing.
        m_sandbox.addApp(readerId, u"Reader"_s, {u"application/pdf"_s});
        m_sandbox.addApp(viewerId, u"Viewer"_s, {u"image/png"_s});
        QStringList both{editorId, AppRegistry::ownIdentifier()}, pdf{readerId};
        for (const QString& id : both)
            m_sandbox.addApp(id, id, {u"application/pdf"_s, u"image/png"_s});
        for (int i = 1; i <= 5; ++i)
            m_sandbox.addApp(pdf.emplace_back(u"org.example.Pdf%1.desktop"_s.arg(i)), u"PDF"_s,
                             {u"application/pdf"_s});
        m_sandbox.writeMimeinfoCache(
            {{u"application/pdf"_s, pdf + both}, {u"image/png"_s, QStringList{viewerId} + both}});
    }

private:
    XdgSandbox& m_sandbox;

private Q_SLOTS:
    void eachWithItsOwnDefault_data() {
        QTest::addColumn<QString>("pngDefault");
        QTest::addColumn<bool>("rememberEditor"); // as the PNG default the chooser replaced
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("way"); // "tile", "keys" or "menu"; empty: there is no tile
        QTest::addColumn<Launches>("launches");
        QTest::addColumn<QString>("summary"); // the preview corner's
        const QStringList three{u"a.pdf"_s, u"b.png"_s, u"c.pdf"_s};
        const Launches byType{{readerId, {u"a.pdf"_s, u"c.pdf"_s}}, {viewerId, {u"b.png"_s}}};
        QTest::newRow("a type without a default stays")
            << viewerId << false << QStringList{u"a.pdf"_s, u"b.png"_s, u"c.py"_s, u"d.pdf"_s}
            << u"keys"_s << Launches{{readerId, {u"a.pdf"_s, u"d.pdf"_s}}, {viewerId, {u"b.png"_s}}}
            << u"4 files, 3 types"_s;
        QTest::newRow("one application for two types")
            << editorId << false << three << u"tile"_s << Launches{{editorId, three}}
            << u"3 files, 2 types"_s;
        QTest::newRow("from the overflow menu")
            << viewerId << false << three << u"menu"_s << byType << u"3 files, 2 types"_s;
        QTest::newRow("chooser is the default, the previous one remembered")
            << AppRegistry::ownIdentifier() << true << three << u"tile"_s
            << Launches{{readerId, {u"a.pdf"_s, u"c.pdf"_s}}, {editorId, {u"b.png"_s}}}
            << u"3 files, 2 types"_s;
        QTest::newRow("chooser is the default, nothing remembered")
            << AppRegistry::ownIdentifier() << false << three << u"tile"_s << byType
            << u"3 files, 2 types"_s;
        QTest::newRow("one type only") << viewerId << false << QStringList{u"a.pdf"_s, u"b.pdf"_s}
                                       << QString() << Launches{} << u"2 files, 1 type"_s;
    }
    void eachWithItsOwnDefault() {
        QFETCH(QString, pngDefault);
        QFETCH(bool, rememberEditor);
        QFETCH(QStringList, names);
        QFETCH(QString, way);
        QFETCH(Launches, launches);
        QFETCH(QString, summary);
        m_sandbox.clearRecords();
        m_sandbox.writeDefaults(
            {{u"application/pdf"_s, pngDefault == editorId ? editorId : readerId},
             {u"image/png"_s, pngDefault}});
        QList<QUrl> files, kept;
        for (const QString& name : names) {
            const QByteArray bytes = name.endsWith(u".pdf"_s)   ? "%PDF-1.4\n"_ba
                                     : name.endsWith(u".png"_s) ? "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"_ba
                                                                : "print(1)\n"_ba;
            files.append(m_sandbox.writeFile(
                QString::fromLatin1(QTest::currentDataTag()) + u'/' + name, bytes));
            if (name.endsWith(u".py"_s))
                kept.append(files.last());
        }
        PreferencesStore::standard().update([&](QJsonObject& prefs) {
            for (const QString& type : {u"image/png"_s, u"image/*"_s})
                prefs.remove(MainViewController::previousDefaultKeyPrefix + type);
        });
        if (rememberEditor)
            QVERIFY(
                MainViewController::savePreviousDefault(files.at(1), m_sandbox.appUrl(editorId)));
        QMap<QString, qint64> uses;
        for (const QString& id : launches.keys())
            uses[id] = usesOf(m_sandbox.appUrl(id));

        ChooserWindow chooser;
        MainViewController* vc = chooser.vc;
        vc->configure(files, true, false);
        vc->showFiles();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser.window));
        QCOMPARE(vc->selectionSummary->text(), summary);
        QCOMPARE(bool(vc->eachTile), !way.isEmpty());
        if (way.isEmpty())
            return;
        QSignalSpy terminate(vc, &MainViewController::terminateRequested);
        QSignalSpy keptSpy(vc, &MainViewController::filesKept);
        if (way == u"menu") {
            QTRY_VERIFY(!vc->overflowApps.isEmpty());
            const QList<QAction*> items =
                vc->onOverflowTapped(vc->trailingButton, false)->actions();
            auto each = std::find_if(items.begin(), items.end(), [&](QAction* a) {
                return a->text() == vc->eachTile->accessibleName();
            });
            QVERIFY(each != items.end());
            (*each)->trigger();
        } else if (way == u"keys") {
            // The last tile, before the trailing button.
            vc->trailingButton->setFocus();
            QTest::keyClick(vc->trailingButton, Qt::Key_Left);
            QTRY_COMPARE(vc->window()->focusWidget(), vc->eachTile.data());
            QTest::keyClick(vc->eachTile, Qt::Key_Space);
        } else {
            QTest::mouseClick(vc->eachTile, Qt::LeftButton);
        }
        for (auto it = launches.cbegin(); it != launches.cend(); ++it) {
            QTRY_COMPARE(m_sandbox.recordedLaunches(it.key()).size(), 1);
            QStringList got;
            const QList<QList<QByteArray>> recorded = m_sandbox.recordedLaunches(it.key());
            for (const QByteArray& path : recorded.first())
                got.append(QFileInfo(QFile::decodeName(path)).fileName());
            QCOMPARE(got, it.value());
            QCOMPARE(usesOf(m_sandbox.appUrl(it.key())), uses.value(it.key()) + 1);
        }
        QCOMPARE(QDir(m_sandbox.recordsDir()).entryList(QDir::Files).size(), launches.size());
        if (kept.isEmpty()) {
            QTRY_COMPARE(terminate.size(), 1);
            return;
        }
        // Only the script stays, paused, its type named in its own words; no tile, no count.
        QTRY_COMPARE(keptSpy.size(), 1);
        QCOMPARE(vc->fileURLs, kept);
        const QString type = *platform::registry().contentTypeDescription(
            *platform::registry().contentType(kept.first()));
        QVERIFY2(vc->messageLabel->text().contains(type), qPrintable(vc->messageLabel->text()));
        QVERIFY(vc->messageLabel->isVisibleTo(vc) && vc->isTimerPaused);
        QVERIFY(!vc->eachTile && !vc->selectionSummary->isVisibleTo(vc));
        QCOMPARE(terminate.size(), 0);
    }
};

MARVOLINE_TEST_MAIN(TestMixed)
#include "tst_mixed.moc"
