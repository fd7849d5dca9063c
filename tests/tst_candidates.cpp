// The applications offered for a file: which, in which order, which one is the
// default, and under which name and version. Every scenario has its own content
// type, so one sandbox, written before the registry's first look, serves them all.

#include "handlers/CandidateList.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"
#include "support/TestMain.h"

#include <QScopeGuard>

#include <memory>

using marvoline::AppCandidate;
using marvoline::MainViewController;
using marvoline::platform::registry;

namespace {

const QString ownId = marvoline::AppRegistry::ownIdentifier();

QUrl urlOf(const QUrl& url) {
    return url;
}
QUrl urlOf(const AppCandidate& candidate) {
    return candidate.url;
}
template <typename T> QStringList idsOf(const QList<T>& list) {
    QStringList ids;
    for (const T& item : list)
        ids.append(marvoline::displayFileName(urlOf(item)));
    return ids;
}

// "a b" -> {"a.desktop", "b.desktop"}
QStringList desktopIds(const char* names) {
    QStringList ids = QString::fromLatin1(names).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& id : ids)
        id += QStringLiteral(".desktop");
    return ids;
}

// What every list promises: the default alone and in front, an icon on every candidate.
void verifyShape(const QList<AppCandidate>& list) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        QCOMPARE(list.at(i).isDefault, i == 0);
        QVERIFY2(list.at(i).icon && !list.at(i).icon->isNull(), qPrintable(list.at(i).name));
    }
}

} // namespace

class TestCandidates : public QObject {
    Q_OBJECT

public:
    explicit TestCandidates(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        sb.addApp(ownId, QStringLiteral("Marvoline"));
        for (const QString& id : desktopIds("csv-a csv-b csv-c csv-d md-a md-x mp4-a mp4-b "
                                            "remembered mp3-a mp3-b gif-a 7z-a 7z-b jpg-a png-a "
                                            "png-b bmp-a"))
            sb.addApp(id, QStringLiteral("App ") + id.chopped(8));
        const auto add = [this](const char* id, const char* name, const QStringList& extra = {}) {
            sb.addApp(QString::fromLatin1(id) + QStringLiteral(".desktop"), QString::fromUtf8(name),
                      {}, extra);
        };
        // Three entries shown as "Player", two with metainfo; a unique name with metainfo.
        add("flac-a", "Player");
        add("flac-b", "Other", {QStringLiteral("X-GNOME-FullName=Player")});
        add("flac-c", "Player");
        add("flac-d", "Tagger");
        sb.addMetainfo(QStringLiteral("flac-a.desktop"), {QStringLiteral("2.0")});
        sb.addMetainfo(QStringLiteral("flac-b.desktop"), {QStringLiteral("1.5")});
        sb.addMetainfo(QStringLiteral("flac-d.desktop"), {QStringLiteral("3.1")});
        add("name-ja", "Base",
            {QStringLiteral("Name[ja]=ベース"), QStringLiteral("X-GNOME-FullName=Full")});
        add("name-jafull", "Base", {QStringLiteral("X-GNOME-FullName[ja]=フル")});
        sb.addRawDesktopFile(QStringLiteral("name.broken.desktop"), "not a desktop entry\n");

        sb.writeMimeinfoCache({
            {QStringLiteral("text/csv"), desktopIds("csv-a csv-b csv-c csv-d")},
            {QStringLiteral("text/markdown"), desktopIds("md-a")},
            {QStringLiteral("video/mp4"), desktopIds("mp4-a org.marvoline.Marvoline mp4-b")},
            {QStringLiteral("audio/mpeg"), desktopIds("mp3-a mp3-b")},
            // The viewer is listed but installed only while the test runs.
            {QStringLiteral("image/gif"),
             desktopIds("gif-a org.marvoline.Marvoline org.gnome.eog")},
            {QStringLiteral("application/x-7z-compressed"),
             desktopIds("org.marvoline.Marvoline 7z-a 7z-b")},
            {QStringLiteral("image/jpeg"), desktopIds("jpg-a")},
            {QStringLiteral("image/png"), desktopIds("png-a png-b")},
            {QStringLiteral("image/bmp"), desktopIds("bmp-a")},
            {QStringLiteral("audio/flac"), desktopIds("flac-a flac-b flac-c flac-d")},
        });
        sb.writeDefaults({
            {QStringLiteral("text/csv"), QStringLiteral("csv-c.desktop")},
            // Does not declare the type: the registry leaves it out of its list.
            {QStringLiteral("text/markdown"), QStringLiteral("md-x.desktop")},
            {QStringLiteral("video/mp4"), ownId},
            {QStringLiteral("audio/mpeg"), ownId},
            {QStringLiteral("image/gif"), ownId},
        });

        marvoline::PreferencesStore prefs(sb.preferencesPath());
        const QString prefix = MainViewController::previousDefaultKeyPrefix;
        const QString deleted = sb.applicationsDir() + QStringLiteral("/deleted-player.desktop");
        prefs.setValue(prefix + QStringLiteral("video/mp4"),
                       QString(sb.applicationsDir() + QStringLiteral("/remembered.desktop")));
        for (const char* type : {"audio/mpeg", "image/gif", "image/*"})
            prefs.setValue(prefix + QString::fromLatin1(type), deleted);

        for (const char* name :
             {"table.csv", "notes.md", "clip.mp4", "song.mp3", "anim.gif", "pack.7z", "photo.jpg",
              "shot.png", "scan.tiff", "old.bmp", "archive.tar", "track.flac"})
            sb.writeFile(QString::fromLatin1(name), QByteArray("some content of ") + name);
    }

private:
    marvoline::test::XdgSandbox& sb;
    std::unique_ptr<MainViewController> vc;

    QUrl file(const QString& name) const {
        return QUrl::fromLocalFile(sb.root() + QStringLiteral("/files/") + name);
    }

private Q_SLOTS:
    void initTestCase() {
        vc = std::make_unique<MainViewController>();
        // What the 7z row relies on: the registry lists the chooser first, so as the default.
        QCOMPARE(idsOf(registry().applicationsForFile(file("pack.7z"))).value(0), ownId);
    }

    void imageWithoutAnInstalledViewer() {
        const QList<AppCandidate> list = vc->loadAppCandidates(file("photo.jpg"));
        QCOMPARE(idsOf(list), desktopIds("jpg-a"));
        verifyShape(list);
    }

    // From here on two image viewers are installed; the more preferred one wins.
    void installImageViewers() {
        sb.addApp(QStringLiteral("org.xfce.ristretto.desktop"), QStringLiteral("Ristretto"));
        sb.addApp(QStringLiteral("org.gnome.eog.desktop"), QStringLiteral("Image Viewer"));
        for (const char* id : {"org.gnome.eog.desktop", "org.xfce.ristretto.desktop"})
            QTRY_VERIFY_WITH_TIMEOUT(registry().applicationForIdentifier(QString::fromLatin1(id)),
                                     10000);
        QTRY_VERIFY_WITH_TIMEOUT(idsOf(registry().applicationsForFile(file("anim.gif")))
                                     .contains(QStringLiteral("org.gnome.eog.desktop")),
                                 10000);
        // A list that holds any viewer gets none added.
        QCOMPARE(vc->previewAppForImageIfMissing(
                     file("photo.jpg"),
                     {sb.appUrl("jpg-a.desktop"), sb.appUrl("org.xfce.ristretto.desktop")}),
                 std::nullopt);
    }

    void order_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("nothing opens it") << "archive.tar" << QStringList();
        QTest::newRow("default listed third moves to the front")
            << "table.csv" << desktopIds("csv-c csv-a csv-b csv-d");
        QTest::newRow("registry default outside its list") << "notes.md" << desktopIds("md-x md-a");
        // The chooser is the default and remembers an app the registry does not list.
        QTest::newRow("remembered default outside the list")
            << "clip.mp4" << desktopIds("remembered mp4-a mp4-b");
        QTest::newRow("deleted remembered default: the first")
            << "song.mp3" << desktopIds("mp3-a mp3-b");
        // The viewer stands third in the answer; no second viewer is added.
        QTest::newRow("deleted remembered image default: the viewer")
            << "anim.gif" << desktopIds("org.gnome.eog gif-a");
        QTest::newRow("chooser first and default, never offered")
            << "pack.7z" << desktopIds("7z-a 7z-b");
        QTest::newRow("viewer behind the default")
            << "shot.png" << desktopIds("png-a org.gnome.eog png-b");
        QTest::newRow("viewer for an empty answer") << "scan.tiff" << desktopIds("org.gnome.eog");
        QTest::newRow("no viewer for other images") << "old.bmp" << desktopIds("bmp-a");
    }

    void order() {
        QFETCH(QString, fileName);
        QFETCH(QStringList, expected);
        const QList<AppCandidate> list = vc->loadAppCandidates(file(fileName));
        QCOMPARE(idsOf(list), expected);
        verifyShape(list);
    }

    void samePathListedTwice() {
        // An answer naming every app twice, one also with a trailing slash, gives one button each.
        const QUrl csv = file("table.csv");
        const QList<QUrl> answer = registry().applicationsForFile(csv);
        QCOMPARE(answer.size(), 4);
        QList<QUrl> repeated = answer + answer;
        repeated.insert(1, QUrl(answer.at(2).toString() + QLatin1Char('/')));
        const QList<AppCandidate> list = marvoline::appCandidatesFromAnswer(*vc, csv, repeated);
        QCOMPARE(idsOf(list), desktopIds("csv-c csv-a csv-b csv-d"));
        verifyShape(list);
    }

    void sameDisplayNamesCarryVersions() {
        const QList<AppCandidate> list = vc->loadAppCandidates(file("track.flac"));
        QCOMPARE(idsOf(list), desktopIds("flac-a flac-b flac-c flac-d"));
        verifyShape(list);
        QStringList shown;
        for (const AppCandidate& c : list)
            shown.append(c.name + QLatin1Char('|') + c.version.value_or(QStringLiteral("-")));
        // No metainfo: no version; a unique name: no version, metainfo or not.
        QCOMPARE(shown, (QStringList{QStringLiteral("Player|2.0"), QStringLiteral("Player|1.5"),
                                     QStringLiteral("Player|-"), QStringLiteral("Tagger|-")}));
    }

    void displayNames() {
        const QByteArray saved = qgetenv("LANGUAGE");
        const auto restore = qScopeGuard(
            [&] { saved.isNull() ? qunsetenv("LANGUAGE") : qputenv("LANGUAGE", saved); });
        qputenv("LANGUAGE", "ja");
        const auto name = [this](const char* id) {
            return vc->localizedAppName(sb.appUrl(QString::fromLatin1(id)));
        };
        // The unlocalised full name before the localised name (the full name before
        // the name: flac-b), the file name when the entry is not loadable.
        QCOMPARE(name("name-ja.desktop"), QStringLiteral("Full"));
        QCOMPARE(name("name-jafull.desktop"), QStringLiteral("フル"));
        QCOMPARE(name("name.broken.desktop"), QStringLiteral("name.broken"));
    }
};

MARVOLINE_TEST_MAIN(TestCandidates)
#include "tst_candidates.moc"
