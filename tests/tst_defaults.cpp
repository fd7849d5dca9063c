// Remembering the default the chooser replaces and making the chooser the
// default application, checked against the preferences file and against the
// registry as another process sees it.

#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"
#include "support/TestMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <memory>

using marvoline::MainViewController;
using marvoline::PreferencesStore;
using marvoline::platform::registry;

namespace {

const QString ownId = marvoline::AppRegistry::ownIdentifier();
const QString prefix = MainViewController::previousDefaultKeyPrefix;

QByteArray readRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The default application of the type as `gio mime` reports it from a process
// of its own, with this process's environment.
QString defaultSeenByGio(const QString& type) {
    QProcess gio;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    gio.setProcessEnvironment(env);
    gio.start(QStringLiteral("gio"), {QStringLiteral("mime"), type});
    if (!gio.waitForFinished(30000) || gio.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("<gio failed>");
    const QString first =
        QString::fromUtf8(gio.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    if (!first.startsWith(QStringLiteral("Default application for")))
        return QString();
    return first.section(QStringLiteral(": "), -1).trimmed();
}

} // namespace

class TestDefaults : public QObject {
    Q_OBJECT

public:
    explicit TestDefaults(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        sb.addApp(QStringLiteral("pictures.desktop"), QStringLiteral("Pictures"));
        sb.addApp(QStringLiteral("reader.desktop"), QStringLiteral("Reader"));
        sb.addApp(QStringLiteral("bitmaps.desktop"), QStringLiteral("Bitmaps"));
        const QStringList pictures{QStringLiteral("pictures.desktop")};
        sb.writeMimeinfoCache({
            {QStringLiteral("image/png"), pictures},
            {QStringLiteral("image/jpeg"), pictures},
            {QStringLiteral("image/gif"), pictures},
            {QStringLiteral("image/tiff"), pictures},
            {QStringLiteral("image/bmp"), {QStringLiteral("bitmaps.desktop")}},
            {QStringLiteral("application/pdf"), {QStringLiteral("reader.desktop")}},
        });
        sb.writeDefaults({
            {QStringLiteral("image/png"), QStringLiteral("pictures.desktop")},
            {QStringLiteral("image/jpeg"), QStringLiteral("pictures.desktop")},
            {QStringLiteral("image/gif"), QStringLiteral("pictures.desktop")},
            {QStringLiteral("image/tiff"), QStringLiteral("pictures.desktop")},
            {QStringLiteral("application/pdf"), QStringLiteral("reader.desktop")},
        });
        for (const char* name :
             {"shot.png", "photo.jpg", "anim.gif", "scan.tiff", "old.bmp", "report.pdf", "pack.7z"})
            sb.writeFile(QString::fromLatin1(name), QByteArray("some content of ") + name);
    }

private:
    marvoline::test::XdgSandbox& sb;
    std::unique_ptr<MainViewController> vc;

    QUrl file(const char* name) const {
        return QUrl::fromLocalFile(sb.root() + QStringLiteral("/files/") +
                                   QString::fromLatin1(name));
    }
    QString app(const char* id) const { return sb.appUrl(QString::fromLatin1(id)).toLocalFile(); }
    QJsonObject prefs() const { return PreferencesStore(sb.preferencesPath()).read(); }
    void clearPrefs() const {
        QFile::remove(sb.preferencesPath());
        QVERIFY(!QFileInfo::exists(sb.preferencesPath()));
    }
    QString ownEntryInDataHome() const {
        return sb.dataHome() + QStringLiteral("/applications/") + ownId;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty(),
                 "the gio tool (libglib2.0-bin) is needed");
        vc = std::make_unique<MainViewController>();
        QVERIFY(vc->setDefaultButton);
    }
    void cleanupTestCase() { vc.reset(); }

    void previousDefaultKeys() {
        clearPrefs();
        MainViewController::savePreviousDefault(file("shot.png"),
                                                QUrl::fromLocalFile(app("pictures.desktop")));
        QCOMPARE(prefs(),
                 (QJsonObject{{prefix + QStringLiteral("image/png"), app("pictures.desktop")},
                              {prefix + QStringLiteral("image/*"), app("pictures.desktop")}}));

        clearPrefs();
        MainViewController::savePreviousDefault(file("report.pdf"),
                                                QUrl::fromLocalFile(app("reader.desktop")));
        QCOMPARE(prefs(), (QJsonObject{{prefix + QStringLiteral("application/pdf"),
                                        app("reader.desktop")}}));

        // Not one of the image types: the generic key stays untouched. The
        // path is stored without a trailing slash.
        MainViewController::savePreviousDefault(
            file("old.bmp"), QUrl::fromLocalFile(app("bitmaps.desktop") + QLatin1Char('/')));
        QCOMPARE(prefs(),
                 (QJsonObject{{prefix + QStringLiteral("application/pdf"), app("reader.desktop")},
                              {prefix + QStringLiteral("image/bmp"), app("bitmaps.desktop")}}));

        // A later image overwrites the generic key.
        MainViewController::savePreviousDefault(file("photo.jpg"),
                                                QUrl::fromLocalFile(app("reader.desktop")));
        QCOMPARE(prefs().value(prefix + QStringLiteral("image/*")).toString(),
                 app("reader.desktop"));
        QCOMPARE(prefs().size(), 4);

        // A file whose type cannot be told stores nothing.
        const QUrl missing = file("missing.png");
        QCOMPARE(MainViewController::contentTypeIdentifier(missing), std::nullopt);
        MainViewController::savePreviousDefault(missing,
                                                QUrl::fromLocalFile(app("reader.desktop")));
        QCOMPARE(prefs().size(), 4);
    }

    void previousDefaultLookup() {
        clearPrefs();
        QCOMPARE(vc->loadPreviousDefault(file("shot.png")), std::nullopt);

        PreferencesStore store(sb.preferencesPath());
        store.setValue(prefix + QStringLiteral("image/*"), app("pictures.desktop"));
        QCOMPARE(vc->loadPreviousDefault(file("shot.png"))->toLocalFile(), app("pictures.desktop"));
        QCOMPARE(vc->loadPreviousDefault(file("anim.gif"))->toLocalFile(), app("pictures.desktop"));
        QCOMPARE(vc->loadPreviousDefault(file("report.pdf")), std::nullopt);
        QCOMPARE(vc->loadPreviousDefault(file("old.bmp")), std::nullopt);

        // The exact type comes first; a deleted or unusable entry is passed over
        // and left in place.
        store.setValue(prefix + QStringLiteral("image/png"), app("bitmaps.desktop"));
        QCOMPARE(vc->loadPreviousDefault(file("shot.png"))->toLocalFile(), app("bitmaps.desktop"));
        store.setValue(prefix + QStringLiteral("image/png"), app("deleted.desktop"));
        QCOMPARE(vc->loadPreviousDefault(file("shot.png"))->toLocalFile(), app("pictures.desktop"));
        QCOMPARE(store.value(prefix + QStringLiteral("image/png")).toString(),
                 app("deleted.desktop"));
        store.setValue(prefix + QStringLiteral("image/png"), QStringLiteral("pictures.desktop"));
        QCOMPARE(vc->loadPreviousDefault(file("shot.png"))->toLocalFile(), app("pictures.desktop"));
        store.setValue(prefix + QStringLiteral("image/png"), 42);
        QCOMPARE(vc->loadPreviousDefault(file("shot.png"))->toLocalFile(), app("pictures.desktop"));

        store.setValue(prefix + QStringLiteral("application/pdf"), app("reader.desktop"));
        QCOMPARE(vc->loadPreviousDefault(file("report.pdf"))->toLocalFile(), app("reader.desktop"));
        QCOMPARE(vc->loadPreviousDefault(file("missing.pdf")), std::nullopt);
    }

    void nothingHappensWithoutContextOrCheckBox() {
        clearPrefs();
        const QByteArray mimeapps = readRaw(sb.configHome() + QStringLiteral("/mimeapps.list"));
        QVERIFY(!mimeapps.isEmpty());
        struct Case {
            bool context;
            bool checked;
        };
        for (const Case c : {Case{false, true}, Case{true, false}, Case{false, false}}) {
            vc->isOpenAsContext = c.context;
            vc->setDefaultButton->setChecked(c.checked);
            vc->performSetDefaultIfNeeded(file("anim.gif"));
            QVERIFY(!QFileInfo::exists(sb.preferencesPath()));
            QCOMPARE(readRaw(sb.configHome() + QStringLiteral("/mimeapps.list")), mimeapps);
            QVERIFY(!QFileInfo::exists(ownEntryInDataHome()));
            QCOMPARE(registry().applicationForIdentifier(ownId), std::nullopt);
        }
        QCOMPARE(defaultSeenByGio(QStringLiteral("image/gif")), QStringLiteral("pictures.desktop"));
    }

    void switchingRemembersTheReplacedDefault() {
        clearPrefs();
        vc->isOpenAsContext = true;
        vc->setDefaultButton->setChecked(true);
        const QUrl png = file("shot.png");
        vc->performSetDefaultIfNeeded(png);

        QCOMPARE(prefs(),
                 (QJsonObject{{prefix + QStringLiteral("image/png"), app("pictures.desktop")},
                              {prefix + QStringLiteral("image/*"), app("pictures.desktop")}}));
        // Registered, and the default for PNG only.
        QVERIFY(registry().applicationForIdentifier(ownId));
        QCOMPARE(defaultSeenByGio(QStringLiteral("image/png")), ownId);
        QCOMPARE(defaultSeenByGio(QStringLiteral("image/jpeg")),
                 QStringLiteral("pictures.desktop"));
        QCOMPARE(defaultSeenByGio(QStringLiteral("image/gif")), QStringLiteral("pictures.desktop"));

        // The chooser now offers what it replaced as the default.
        QCOMPARE(registry().bundleIdentifier(*registry().defaultApplicationForFile(png)), ownId);
        const QList<marvoline::AppCandidate> list = vc->loadAppCandidates(png);
        QVERIFY(!list.isEmpty());
        QCOMPARE(list.first().url.toLocalFile(), app("pictures.desktop"));
        QVERIFY(list.first().isDefault);

        // Leaving again while the chooser itself is the default remembers
        // nothing: the earlier entries stay.
        PreferencesStore(sb.preferencesPath())
            .setValue(prefix + QStringLiteral("image/png"), app("reader.desktop"));
        const QJsonObject before = prefs();
        vc->performSetDefaultIfNeeded(png);
        QCOMPARE(prefs(), before);
        QCOMPARE(defaultSeenByGio(QStringLiteral("image/png")), ownId);
    }

    void switchingForAPdfKeepsTheImageKey() {
        const QJsonObject before = prefs();
        vc->isOpenAsContext = true;
        vc->setDefaultButton->setChecked(true);
        vc->performSetDefaultIfNeeded(file("report.pdf"));
        QJsonObject expected = before;
        expected.insert(prefix + QStringLiteral("application/pdf"), app("reader.desktop"));
        QCOMPARE(prefs(), expected);
        QCOMPARE(defaultSeenByGio(QStringLiteral("application/pdf")), ownId);
    }

    void nothingWasTheDefault() {
        clearPrefs();
        const QUrl archive = file("pack.7z");
        QCOMPARE(registry().defaultApplicationForFile(archive), std::nullopt);
        vc->isOpenAsContext = true;
        vc->setDefaultButton->setChecked(true);
        vc->performSetDefaultIfNeeded(archive);
        QVERIFY(!QFileInfo::exists(sb.preferencesPath()));
        QCOMPARE(defaultSeenByGio(QStringLiteral("application/x-7z-compressed")), ownId);
    }

    void unwritableConfigFolder() {
        // A file where the preferences folder belongs: nothing can be saved.
        const QString folder = QFileInfo(sb.preferencesPath()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.write("in the way");
        }
        vc->isOpenAsContext = true;
        vc->setDefaultButton->setChecked(true);
        vc->performSetDefaultIfNeeded(file("scan.tiff"));
        // The remembered default is lost, the switch is made all the same.
        QCOMPARE(readRaw(folder), QByteArray("in the way"));
        QCOMPARE(defaultSeenByGio(QStringLiteral("image/tiff")), ownId);
        QCOMPARE(vc->loadPreviousDefault(file("scan.tiff")), std::nullopt);
        QVERIFY(QFile::remove(folder));
    }
};

MARVOLINE_TEST_MAIN(TestDefaults)
#include "tst_defaults.moc"
