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
#include <QFileInfo>
#include <QProcess>

#include <memory>

using marvoline::MainViewController;
using marvoline::PreferencesStore;
using marvoline::platform::registry;
using namespace Qt::StringLiterals;

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
    env.insert(u"LC_ALL"_s, u"C"_s);
    gio.setProcessEnvironment(env);
    gio.start(u"gio"_s, {u"mime"_s, QString::fromLatin1(type)});
    gio.waitForFinished(30000);
    const QString first = QString::fromUtf8(gio.readAllStandardOutput()).section(u'\n', 0, 0);
    return first.startsWith(u"Default application for"_s) ? first.section(u": "_s, -1) : first;
}

} // namespace

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

    QUrl file(const char* name) const {
        return QUrl::fromLocalFile(sb.root() + u"/files/"_s + QLatin1String(name));
    }
    QString app(const char* id) const { return sb.appUrl(QLatin1String(id)).toLocalFile(); }
    QJsonObject prefs() const { return PreferencesStore(sb.preferencesPath()).read(); }
    QJsonObject remembered(const QString& app, const QStringList& types) const {
        QJsonObject keys;
        for (const QString& type : types)
            keys.insert(prefix + type, app);
        return keys;
    }
    QString previous(const char* fileName) const {
        const std::optional<QUrl> url = vc->loadPreviousDefault(file(fileName));
        return url ? url->toLocalFile() : u"none"_s;
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
    void initTestCase() { vc = std::make_unique<MainViewController>(); }
    void init() { QFile::remove(sb.preferencesPath()); }

    void previousDefaultKeys() {
        // An image type fills its own key and "image/*"; the path without a trailing slash.
        save("shot.png", app("pictures.desktop") + u'/');
        QCOMPARE(prefs(), remembered(app("pictures.desktop"), {u"image/png"_s, u"image/*"_s}));
        // Other types, BMP among them, fill their own key only; an unknown type nothing.
        save("old.bmp", app("bitmaps.desktop"));
        save("report.pdf", app("reader.desktop"));
        save("missing.png", app("reader.desktop"));
        QJsonObject expected = remembered(app("pictures.desktop"), {u"image/png"_s, u"image/*"_s});
        expected.insert(prefix + u"image/bmp"_s, app("bitmaps.desktop"));
        expected.insert(prefix + u"application/pdf"_s, app("reader.desktop"));
        QCOMPARE(prefs(), expected);
    }

    void previousDefaultLookup() {
        QCOMPARE(previous("shot.png"), u"none"_s);
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
        const QByteArray mimeapps = readRaw(sb.configHome() + u"/mimeapps.list"_s);
        QVERIFY(!mimeapps.isEmpty());
        for (const auto& [context, checked] :
             {std::pair{false, true}, {true, false}, {false, false}}) {
            leave("anim.gif", context, checked);
            QVERIFY(!QFileInfo::exists(sb.preferencesPath()));
            QCOMPARE(readRaw(sb.configHome() + u"/mimeapps.list"_s), mimeapps);
            QVERIFY(!QFileInfo::exists(sb.dataHome() + u"/applications/"_s + ownId));
        }
        QCOMPARE(defaultSeenByGio("image/gif"), u"pictures.desktop"_s);
    }

    void switchingRemembersTheReplacedDefault() {
        leave("shot.png");
        QCOMPARE(prefs(), remembered(app("pictures.desktop"), {u"image/png"_s, u"image/*"_s}));
        // Registered, and the default for PNG only.
        QVERIFY(registry().applicationForIdentifier(ownId));
        QCOMPARE(defaultSeenByGio("image/png"), ownId);
        QCOMPARE(defaultSeenByGio("image/jpeg"), u"pictures.desktop"_s);
        // The chooser now offers what it replaced as the default.
        const QList<marvoline::AppCandidate> list = vc->loadAppCandidates(file("shot.png"));
        QVERIFY(!list.isEmpty() && list.first().isDefault);
        QCOMPARE(list.first().url.toLocalFile(), app("pictures.desktop"));

        // Leaving while the chooser is the default remembers nothing new.
        PreferencesStore(sb.preferencesPath())
            .setValue(prefix + u"image/png"_s, app("reader.desktop"));
        QJsonObject expected = prefs();
        leave("shot.png");
        QCOMPARE(prefs(), expected);
        QCOMPARE(defaultSeenByGio("image/png"), ownId);

        // A PDF adds its own key and leaves the image keys alone.
        leave("report.pdf");
        expected.insert(prefix + u"application/pdf"_s, app("reader.desktop"));
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
        QCOMPARE(previous("scan.tiff"), u"none"_s);
        QVERIFY(QFile::remove(folder));
    }
};

MARVOLINE_TEST_MAIN(TestDefaults)
#include "tst_defaults.moc"
