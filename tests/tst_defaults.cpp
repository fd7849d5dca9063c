// Remembering the default the chooser replaces and making the chooser the default application,
// checked in the preferences file and as another process sees the registry.

#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"
#include "platform/gio/GioAppRegistry.h"
#include "support/StoreHazards.h"
#include "support/TestMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>

#include <memory>

using marvoline::MainViewController;
using marvoline::PreferencesStore;
using marvoline::test::StoreHazard;
using marvoline::test::StoreHazardInPlace;
using namespace Qt::StringLiterals;
using marvoline::test::ownId;

namespace {

const QString prefix = MainViewController::previousDefaultKeyPrefix;

} // namespace

Q_DECLARE_METATYPE(StoreHazard)

class TestDefaults final : public QObject {
    Q_OBJECT

public:
    explicit TestDefaults(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        for (const char* id : {"pictures", "reader", "bitmaps"})
            sb.addApp(QLatin1String(id) + u".desktop"_s, QLatin1String(id));
        QMap<QString, QStringList> lists{{u"image/bmp"_s, {u"bitmaps.desktop"_s}},
                                         {u"application/pdf"_s, {u"reader.desktop"_s}}};
        QMap<QString, QString> defaults{{u"application/pdf"_s, u"reader.desktop"_s}};
        for (const char* type : {"image/png", "image/jpeg", "image/gif", "image/tiff"}) {
            lists.insert(QLatin1String(type), {u"pictures.desktop"_s});
            defaults.insert(QLatin1String(type), u"pictures.desktop"_s);
        }
        sb.writeMimeinfoCache(lists);
        sb.writeDefaults(defaults);
        for (const char* name :
             {"shot.png", "photo.jpg", "anim.gif", "scan.tiff", "old.bmp", "report.pdf", "pack.7z"})
            sb.writeFile(QLatin1String(name), "some content of "_ba + name);
    }

private:
    marvoline::test::XdgSandbox& sb;
    std::unique_ptr<MainViewController> vc;
    const QString mimeapps = sb.configHome() + u"/mimeapps.list"_s;

    QUrl file(const char* name) const { return sb.fileUrl(QLatin1String(name)); }
    QString app(const char* id) const { return sb.appUrl(QLatin1String(id)).toLocalFile(); }
    QJsonObject prefs() const { return PreferencesStore(sb.preferencesPath()).read(); }
    QString previous(const char* fileName) const {
        const std::optional<QUrl> url = vc->loadPreviousDefault(file(fileName));
        return url ? url->toLocalFile() : u"none"_s;
    }
    // The chooser goes away after showing the file, opened as "Open With" (context) or not,
    // once the switch has been made.
    void leave(const char* fileName, bool context = true, bool checked = true) {
        vc->messageLabel->setVisible(false);
        vc->isOpenAsContext = context;
        vc->setDefaultButton->setChecked(checked);
        vc->performSetDefaultIfNeeded(file(fileName));
        QTRY_VERIFY_WITH_TIMEOUT(!vc->isSettingDefault(), 20000);
    }

private Q_SLOTS:
    void initTestCase() { vc = std::make_unique<MainViewController>(); }
    void init() { QFile::remove(sb.preferencesPath()); }

    void previousDefaultLookup() {
        PreferencesStore store(sb.preferencesPath());
        store.setValue(prefix + u"image/*"_s, app("pictures.desktop"));
        QCOMPARE(previous("anim.gif"), app("pictures.desktop"));
        QCOMPARE(previous("old.bmp"), u"none"_s); // not one of the image types
        // The exact key first; a deleted, relative or non-text entry is passed over and kept.
        const QString exactKey = prefix + u"image/png"_s;
        store.setValue(exactKey, app("bitmaps.desktop"));
        QCOMPARE(previous("shot.png"), app("bitmaps.desktop"));
        for (const QJsonValue& unusable : {QJsonValue(app("deleted.desktop")),
                                           QJsonValue(u"bitmaps.desktop"_s), QJsonValue(42)}) {
            store.setValue(exactKey, unusable);
            QCOMPARE(previous("shot.png"), app("pictures.desktop"));
            QCOMPARE(store.value(exactKey), unusable);
        }
    }

    void nothingHappensWithoutContextOrCheckBox() {
        const QByteArray before = sb.readBytes(mimeapps);
        for (const auto& [context, checked] :
             {std::pair{false, true}, {true, false}, {false, false}}) {
            leave("anim.gif", context, checked);
            QVERIFY(!QFileInfo::exists(sb.preferencesPath()));
            QCOMPARE(sb.readBytes(mimeapps), before);
            QVERIFY(!QFileInfo::exists(sb.dataHome() + u"/applications/"_s + ownId));
        }
    }

    void switchingRemembersTheReplacedDefault() {
        leave("shot.png");
        const QString pictures = app("pictures.desktop");
        QCOMPARE(prefs(), (QJsonObject{{prefix + u"image/png"_s, pictures},
                                       {prefix + u"image/*"_s, pictures}}));
        // The default for PNG only; the other types' defaults kept in the file.
        QCOMPARE(sb.gioDefault(u"image/png"_s), ownId);
        QCOMPARE(sb.gioDefault(u"image/jpeg"_s), u"pictures.desktop"_s);
        QVERIFY(sb.readBytes(mimeapps).contains("image/tiff=pictures.desktop;"));

        // Leaving while the chooser is the default remembers nothing new.
        PreferencesStore(sb.preferencesPath())
            .setValue(prefix + u"image/png"_s, app("reader.desktop"));
        QJsonObject expected = prefs();
        leave("shot.png");
        QCOMPARE(prefs(), expected);

        // A PDF and a BMP add their own keys and leave "image/*" alone; without a default
        // nothing is remembered.
        for (const char* name : {"report.pdf", "old.bmp", "pack.7z"})
            leave(name);
        expected.insert(prefix + u"application/pdf"_s, app("reader.desktop"));
        expected.insert(prefix + u"image/bmp"_s, app("bitmaps.desktop"));
        QCOMPARE(prefs(), expected);
        for (const QString type : {"application/pdf", "image/bmp", "application/x-7z-compressed"})
            QCOMPARE(sb.gioDefault(type), ownId);
    }

    void unwritableConfigFolder() {
        // A file where the preferences folder belongs: the default the switch would replace
        // cannot be remembered, so nothing is switched, the message line says so, the box is
        // unticked, and the file is left as it was.
        const QString folder = QFileInfo(sb.preferencesPath()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        sb.writeBytes(folder, "in the way");
        leave("scan.tiff");
        QCOMPARE(sb.gioDefault(u"image/tiff"_s), u"pictures.desktop"_s);
        QVERIFY(vc->messageLabel->isVisibleTo(vc.get()));
        QCOMPARE(vc->messageLabel->text(), qtTrId("ui.setDefault.failed"));
        QVERIFY(!vc->setDefaultButton->isChecked());
        QCOMPARE(sb.readBytes(folder), "in the way"_ba);
        QVERIFY(QFile::remove(folder));
    }

    // The preferences held by another process when the chooser is left with the box ticked:
    // the chooser does not wait, it runs on until the lock's wait is over, then says that the
    // switch failed and stays; nothing stored or switched is lost.
    void leavingWhileThePreferencesAreLocked_data() {
        QTest::addColumn<StoreHazard>("hazard");
        QTest::newRow("fresh foreign lock") << StoreHazard::FreshForeignLock;
        QTest::newRow("lock folder") << StoreHazard::LockFolder;
    }
    void leavingWhileThePreferencesAreLocked() {
        QFETCH(StoreHazard, hazard);
        PreferencesStore(sb.preferencesPath()).setValue(u"kept"_s, u"yes"_s);
        const QByteArray before = sb.readBytes(sb.preferencesPath());
        StoreHazardInPlace lock(hazard, sb.preferencesPath());
        QVERIFY(lock.isInPlace());
        vc->messageLabel->setVisible(false);
        vc->isOpenAsContext = true;
        vc->setDefaultButton->setChecked(true);
        QSignalSpy terminate(vc.get(), &MainViewController::terminateRequested);
        marvoline::test::EventLoopProbe probe;
        vc->performSetDefaultIfNeeded(file("photo.jpg"));
        vc->leave(vc->fileURLs);
        QVERIFY(vc->isSettingDefault());
        QTRY_VERIFY_WITH_TIMEOUT(vc->messageLabel->isVisibleTo(vc.get()), 20000);
        QCOMPARE(vc->messageLabel->text(), qtTrId("ui.setDefault.failed"));
        // Never held up for long (a second, with room for a busy machine).
        QVERIFY2(probe.longestGapMs() < 2000, qPrintable(QString::number(probe.longestGapMs())));
        QVERIFY(terminate.isEmpty());
        QCOMPARE(sb.gioDefault(u"image/jpeg"_s), u"pictures.desktop"_s);
        QCOMPARE(sb.readBytes(sb.preferencesPath()), before);
        // The next way out leaves.
        lock.clear();
        vc->performSetDefaultIfNeeded(file("photo.jpg"));
        vc->leave(vc->fileURLs);
        QCOMPARE(terminate.size(), 1);
    }

    // The program's own entry runs it from any folder: GIO takes the entry (it looks for the
    // program as written, where a percent sign is doubled) and starts the program with the files.
    void ownEntryFromAnyFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << u"plain"_s;
        QTest::newRow("percent sign") << u"50% off"_s;
        QTest::newRow("field code and quotes") << u"%F %% \"q\" $x"_s;
    }
    void ownEntryFromAnyFolder() {
        QFETCH(QString, folder);
        const QString program = sb.root() + u'/' + folder + u"/run"_s;
        static int entries = 0;
        const QString id = u"own-"_s + QString::number(++entries);
        sb.writeBytes(program, "#!/bin/sh\nexec '" + QFile::encodeName(sb.recorderPath()) + "' " +
                                   id.toUtf8() + " \"$@\"\n");
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        QString exec = marvoline::GioAppRegistry::ownExecLine(program);
        exec.replace(u'\\', u"\\\\"_s); // the key file's own escape
        const QUrl entry = sb.addRawDesktopFile(
            id + u".desktop"_s,
            "[Desktop Entry]\nType=Application\nName=Own\nExec=" + exec.toUtf8() + '\n');
        marvoline::AppRegistry& registry = marvoline::platform::registry();
        QVERIFY2(registry.bundleIdentifier(entry), qPrintable(exec));
        sb.clearRecords();
        bool launched = false;
        registry.launch(entry, {file("report.pdf")},
                        [&](const std::optional<QString>& error) { launched = !error; });
        QTRY_VERIFY(launched);
        QTRY_COMPARE(sb.recordedLaunches(id),
                     (QList<QList<QByteArray>>{{marvoline::localPath(file("report.pdf"))}}));
    }
};

MARVOLINE_TEST_MAIN(TestDefaults)
#include "tst_defaults.moc"
