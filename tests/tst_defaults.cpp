// Remembering the default the chooser replaces and making the chooser the
// default application, checked in the preferences file and as another process
// sees the registry.

#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"
#include "support/TestMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>

#include <memory>
#include <utility>

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

// The type's default application as `gio mime` reports it from a process of its own
// ("Default application for “image/png”: pictures.desktop"), else its first line.
QString defaultSeenByGio(const char* type) {
    QProcess gio;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    gio.setProcessEnvironment(env);
    gio.start(QStringLiteral("gio"), {QStringLiteral("mime"), QString::fromLatin1(type)});
    gio.waitForFinished(30000);
    const QString first =
        QString::fromUtf8(gio.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    return first.startsWith(QStringLiteral("Default application for"))
               ? first.section(QStringLiteral(": "), -1)
               : first;
}

} // namespace

class TestDefaults : public QObject {
    Q_OBJECT

public:
    explicit TestDefaults(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        for (const char* id : {"pictures.desktop", "reader.desktop", "bitmaps.desktop"})
            sb.addApp(QString::fromLatin1(id), QString::fromLatin1(id).chopped(8));
        QMap<QString, QStringList> lists{
            {QStringLiteral("image/bmp"), {QStringLiteral("bitmaps.desktop")}},
            {QStringLiteral("application/pdf"), {QStringLiteral("reader.desktop")}}};
        QMap<QString, QString> defaults{
            {QStringLiteral("application/pdf"), QStringLiteral("reader.desktop")}};
        for (const char* type : {"image/png", "image/jpeg", "image/gif", "image/tiff"}) {
            lists.insert(QString::fromLatin1(type), {QStringLiteral("pictures.desktop")});
            defaults.insert(QString::fromLatin1(type), QStringLiteral("pictures.desktop"));
        }
        sb.writeMimeinfoCache(lists);
        sb.writeDefaults(defaults);
        for (const char* name :
             {"shot.png", "photo.jpg", "anim.gif", "scan.tiff", "old.bmp", "report.pdf", "pack.7z"})
            sb.writeFile(QString::fromLatin1(name), QByteArray("some content of ") + name);
    }

private:
    marvoline::test::XdgSandbox& sb;
    std::unique_ptr<MainViewController> vc;
    QJsonObject pngKeysForPictures; // pictures.desktop remembered for PNG and "image/*"

    QUrl file(const char* name) const {
        return QUrl::fromLocalFile(sb.root() + QStringLiteral("/files/") +
                                   QString::fromLatin1(name));
    }
    QString app(const char* id) const { return sb.appUrl(QString::fromLatin1(id)).toLocalFile(); }
    QJsonObject prefs() const { return PreferencesStore(sb.preferencesPath()).read(); }
    QString previous(const char* fileName) const {
        const std::optional<QUrl> url = vc->loadPreviousDefault(file(fileName));
        return url ? url->toLocalFile() : QStringLiteral("none");
    }
    void save(const char* fileName, const QString& appPath) {
        MainViewController::savePreviousDefault(file(fileName), QUrl::fromLocalFile(appPath));
    }
    void leave(const char* fileName, bool context = true, bool checked = true) {
        vc->isOpenAsContext = context;
        vc->setDefaultButton->setChecked(checked);
        vc->performSetDefaultIfNeeded(file(fileName));
    }

private Q_SLOTS:
    void initTestCase() {
        vc = std::make_unique<MainViewController>();
        QVERIFY(vc->setDefaultButton);
        pngKeysForPictures = {{prefix + QStringLiteral("image/png"), app("pictures.desktop")},
                              {prefix + QStringLiteral("image/*"), app("pictures.desktop")}};
    }
    void init() { QFile::remove(sb.preferencesPath()); }

    void previousDefaultKeys() {
        // An image type fills its own key and "image/*"; the path without a trailing slash.
        save("shot.png", app("pictures.desktop") + QLatin1Char('/'));
        QCOMPARE(prefs(), pngKeysForPictures);
        // Other types, BMP among them, fill their own key only; an unknown type nothing.
        save("old.bmp", app("bitmaps.desktop"));
        save("report.pdf", app("reader.desktop"));
        save("missing.png", app("reader.desktop"));
        QJsonObject expected = pngKeysForPictures;
        expected.insert(prefix + QStringLiteral("image/bmp"), app("bitmaps.desktop"));
        expected.insert(prefix + QStringLiteral("application/pdf"), app("reader.desktop"));
        QCOMPARE(prefs(), expected);
    }

    void previousDefaultLookup() {
        QCOMPARE(previous("shot.png"), QStringLiteral("none"));
        PreferencesStore store(sb.preferencesPath());
        store.setValue(prefix + QStringLiteral("image/*"), app("pictures.desktop"));
        QCOMPARE(previous("anim.gif"), app("pictures.desktop"));
        QCOMPARE(previous("old.bmp"), QStringLiteral("none")); // not one of the image types
        // The exact key first; a deleted, relative or non-text entry is passed over and kept.
        const QString exactKey = prefix + QStringLiteral("image/png");
        store.setValue(exactKey, app("bitmaps.desktop"));
        QCOMPARE(previous("shot.png"), app("bitmaps.desktop"));
        for (const QJsonValue& unusable :
             {QJsonValue(app("deleted.desktop")), QJsonValue(QStringLiteral("bitmaps.desktop")),
              QJsonValue(42)}) {
            store.setValue(exactKey, unusable);
            QCOMPARE(previous("shot.png"), app("pictures.desktop"));
            QCOMPARE(store.value(exactKey), unusable);
        }
    }

    void nothingHappensWithoutContextOrCheckBox() {
        const QByteArray mimeapps = readRaw(sb.configHome() + QStringLiteral("/mimeapps.list"));
        QVERIFY(!mimeapps.isEmpty());
        for (const auto& [context, checked] :
             {std::pair{false, true}, std::pair{true, false}, std::pair{false, false}}) {
            leave("anim.gif", context, checked);
            QVERIFY(!QFileInfo::exists(sb.preferencesPath()));
            QCOMPARE(readRaw(sb.configHome() + QStringLiteral("/mimeapps.list")), mimeapps);
            QVERIFY(!QFileInfo::exists(sb.dataHome() + QStringLiteral("/applications/") + ownId));
            QCOMPARE(registry().applicationForIdentifier(ownId), std::nullopt);
        }
        QCOMPARE(defaultSeenByGio("image/gif"), QStringLiteral("pictures.desktop"));
    }

    void switchingRemembersTheReplacedDefault() {
        leave("shot.png");
        QCOMPARE(prefs(), pngKeysForPictures);
        // Registered, and the default for PNG only.
        QVERIFY(registry().applicationForIdentifier(ownId));
        QCOMPARE(defaultSeenByGio("image/png"), ownId);
        QCOMPARE(defaultSeenByGio("image/jpeg"), QStringLiteral("pictures.desktop"));
        // The chooser now offers what it replaced as the default.
        const QList<marvoline::AppCandidate> list = vc->loadAppCandidates(file("shot.png"));
        QVERIFY(!list.isEmpty() && list.first().isDefault);
        QCOMPARE(list.first().url.toLocalFile(), app("pictures.desktop"));

        // Leaving while the chooser is the default remembers nothing new.
        PreferencesStore(sb.preferencesPath())
            .setValue(prefix + QStringLiteral("image/png"), app("reader.desktop"));
        QJsonObject expected = prefs();
        leave("shot.png");
        QCOMPARE(prefs(), expected);
        QCOMPARE(defaultSeenByGio("image/png"), ownId);

        // A PDF adds its own key and leaves the image keys alone.
        leave("report.pdf");
        expected.insert(prefix + QStringLiteral("application/pdf"), app("reader.desktop"));
        QCOMPARE(prefs(), expected);
        QCOMPARE(defaultSeenByGio("application/pdf"), ownId);
    }

    void nothingWasTheDefault() {
        QCOMPARE(registry().defaultApplicationForFile(file("pack.7z")), std::nullopt);
        leave("pack.7z");
        QVERIFY(!QFileInfo::exists(sb.preferencesPath()));
        QCOMPARE(defaultSeenByGio("application/x-7z-compressed"), ownId);
    }

    void unwritableConfigFolder() {
        // A file where the preferences folder belongs: the remembered default is
        // lost, the switch is made all the same.
        const QString folder = QFileInfo(sb.preferencesPath()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        leave("scan.tiff");
        QCOMPARE(defaultSeenByGio("image/tiff"), ownId);
        QCOMPARE(previous("scan.tiff"), QStringLiteral("none"));
        QVERIFY(QFile::remove(folder));
    }
};

MARVOLINE_TEST_MAIN(TestDefaults)
#include "tst_defaults.moc"
