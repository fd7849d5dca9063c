// The applications offered for a file: which, in which order, which one is the
// default, and under which name and version. Every scenario has its own
// content type, so one sandbox, written before the registry's first look at
// it, serves them all.

#include "handlers/CandidateList.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"
#include "support/TestMain.h"

#include <QFile>
#include <QScopeGuard>

#include <memory>

using marvoline::AppCandidate;
using marvoline::MainViewController;
using marvoline::platform::registry;

namespace {

const QString ownId = marvoline::AppRegistry::ownIdentifier();

// The desktop file names of the candidates, in order.
QStringList idsOf(const QList<AppCandidate>& list) {
    QStringList ids;
    for (const AppCandidate& c : list)
        ids.append(marvoline::displayFileName(c.url));
    return ids;
}

QStringList idsOf(const QList<QUrl>& list) {
    QStringList ids;
    for (const QUrl& u : list)
        ids.append(marvoline::displayFileName(u));
    return ids;
}

// What every non-empty list promises: one default, in front, and an icon on
// every candidate. Empty when it holds.
QString shapeProblem(const QList<AppCandidate>& list) {
    int defaults = 0;
    for (const AppCandidate& c : list) {
        defaults += c.isDefault ? 1 : 0;
        if (!c.icon || c.icon->isNull())
            return QStringLiteral("no icon for ") + c.name;
    }
    if (list.isEmpty())
        return defaults == 0 ? QString() : QStringLiteral("default in an empty list");
    if (defaults != 1)
        return QStringLiteral("%1 defaults").arg(defaults);
    if (!list.first().isDefault)
        return QStringLiteral("the default is not first");
    return {};
}

} // namespace

#define VERIFY_SHAPE(list)                                                                         \
    do {                                                                                           \
        const QString problem = shapeProblem(list);                                                \
        QVERIFY2(problem.isEmpty(), qPrintable(problem));                                          \
    } while (false)

class TestCandidates : public QObject {
    Q_OBJECT

public:
    explicit TestCandidates(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        writeFixtures();
    }

private:
    marvoline::test::XdgSandbox& sb;
    std::unique_ptr<MainViewController> vc;

    QString deletedApp() const {
        return sb.applicationsDir() + QStringLiteral("/deleted-player.desktop");
    }

    QUrl file(const QString& name) const {
        return QUrl::fromLocalFile(sb.root() + QStringLiteral("/files/") + name);
    }

    void writeFixtures() {
        sb.addApp(ownId, QStringLiteral("Marvoline"));
        for (const char* id :
             {"csv-a", "csv-b", "csv-c", "csv-d", "md-a", "md-x", "mp4-a", "mp4-b", "remembered",
              "mp3-a", "mp3-b", "gif-a", "7z-a", "7z-b", "jpg-a", "png-a", "png-b", "bmp-a"})
            sb.addApp(QString::fromLatin1(id) + QStringLiteral(".desktop"),
                      QStringLiteral("App ") + QString::fromLatin1(id));

        // Three entries that show as "Player", two of them with metainfo,
        // and one with a unique name that has metainfo too.
        sb.addApp(QStringLiteral("flac-a.desktop"), QStringLiteral("Player"));
        sb.addApp(QStringLiteral("flac-b.desktop"), QStringLiteral("Other"), {},
                  {QStringLiteral("X-GNOME-FullName=Player")});
        sb.addApp(QStringLiteral("flac-c.desktop"), QStringLiteral("Player"));
        sb.addApp(QStringLiteral("flac-d.desktop"), QStringLiteral("Tagger"));
        sb.addMetainfo(QStringLiteral("flac-a.desktop"), {QStringLiteral("2.0")});
        sb.addMetainfo(QStringLiteral("flac-b.desktop"), {QStringLiteral("1.5")});
        sb.addMetainfo(QStringLiteral("flac-d.desktop"), {QStringLiteral("3.1")});
        // Unique names never show versions, metainfo or not.
        sb.addMetainfo(QStringLiteral("csv-a.desktop"), {QStringLiteral("1.0")});
        sb.addMetainfo(QStringLiteral("csv-c.desktop"), {QStringLiteral("4.2")});

        // Names: the full name before the name, the file name when the entry
        // is not loadable.
        sb.addApp(QStringLiteral("name-plain.desktop"), QStringLiteral("Plain"));
        sb.addApp(QStringLiteral("name-full.desktop"), QStringLiteral("Short"), {},
                  {QStringLiteral("X-GNOME-FullName=Long Name")});
        sb.addApp(QStringLiteral("name-ja.desktop"), QStringLiteral("Base"), {},
                  {QStringLiteral("Name[ja]=ベース"), QStringLiteral("X-GNOME-FullName=Full")});
        sb.addApp(QStringLiteral("name-jafull.desktop"), QStringLiteral("Base"), {},
                  {QStringLiteral("X-GNOME-FullName[ja]=フル")});
        sb.addRawDesktopFile(QStringLiteral("name.broken.desktop"), "not a desktop entry\n");

        const auto ids = [](std::initializer_list<const char*> names) {
            QStringList list;
            for (const char* n : names)
                list.append(QString::fromLatin1(n) + QStringLiteral(".desktop"));
            return list;
        };
        sb.writeMimeinfoCache({
            {QStringLiteral("text/csv"), ids({"csv-a", "csv-b", "csv-c", "csv-d"})},
            {QStringLiteral("text/markdown"), ids({"md-a"})},
            {QStringLiteral("video/mp4"), ids({"mp4-a", "org.marvoline.Marvoline", "mp4-b"})},
            {QStringLiteral("audio/mpeg"), ids({"mp3-a", "mp3-b"})},
            // The viewer is listed but installed only while the test runs.
            {QStringLiteral("image/gif"),
             ids({"gif-a", "org.marvoline.Marvoline", "org.gnome.eog"})},
            {QStringLiteral("application/x-7z-compressed"),
             ids({"org.marvoline.Marvoline", "7z-a", "7z-b"})},
            {QStringLiteral("image/jpeg"), ids({"jpg-a"})},
            {QStringLiteral("image/png"), ids({"png-a", "png-b"})},
            {QStringLiteral("image/bmp"), ids({"bmp-a"})},
            {QStringLiteral("audio/flac"), ids({"flac-a", "flac-b", "flac-c", "flac-d"})},
        });
        sb.writeDefaults({
            {QStringLiteral("text/csv"), QStringLiteral("csv-c.desktop")},
            // A default that does not declare the type: the registry leaves it
            // out of its list.
            {QStringLiteral("text/markdown"), QStringLiteral("md-x.desktop")},
            {QStringLiteral("video/mp4"), ownId},
            {QStringLiteral("audio/mpeg"), ownId},
            {QStringLiteral("image/gif"), ownId},
        });

        marvoline::PreferencesStore prefs(sb.preferencesPath());
        const QString prefix = MainViewController::previousDefaultKeyPrefix;
        prefs.setValue(prefix + QStringLiteral("video/mp4"),
                       QString(sb.applicationsDir() + QStringLiteral("/remembered.desktop")));
        prefs.setValue(prefix + QStringLiteral("audio/mpeg"), deletedApp());
        prefs.setValue(prefix + QStringLiteral("image/gif"), deletedApp());
        prefs.setValue(prefix + QStringLiteral("image/*"), deletedApp());

        for (const char* name :
             {"table.csv", "notes.md", "clip.mp4", "song.mp3", "anim.gif", "pack.7z", "photo.jpg",
              "shot.png", "scan.tiff", "old.bmp", "archive.tar", "track.flac"})
            sb.writeFile(QString::fromLatin1(name), QByteArray("some content of ") + name);
    }

private Q_SLOTS:
    void initTestCase() { vc = std::make_unique<MainViewController>(); }
    void cleanupTestCase() { vc.reset(); }

    void nothingOpensTheFile() {
        const QUrl tar = file(QStringLiteral("archive.tar"));
        QCOMPARE(MainViewController::contentTypeIdentifier(tar),
                 QStringLiteral("application/x-tar"));
        QVERIFY(vc->loadAppCandidates(tar).isEmpty());
        QCOMPARE(vc->initialDefaultApp(tar, {}), std::nullopt);
        QCOMPARE(vc->finalDefaultApp(tar, std::nullopt, {}), std::nullopt);
        QCOMPARE(vc->previewAppForImageIfMissing(tar, {}), std::nullopt);
    }

    void imageWithoutAnInstalledViewer() {
        const QUrl jpg = file(QStringLiteral("photo.jpg"));
        const QList<AppCandidate> list = vc->loadAppCandidates(jpg);
        QCOMPARE(idsOf(list), QStringList{QStringLiteral("jpg-a.desktop")});
        VERIFY_SHAPE(list);
        QCOMPARE(vc->previewAppForImageIfMissing(jpg, {}), std::nullopt);
    }

    // From here on two image viewers are installed; the more preferred one wins.
    void imageViewerInstalledLater() {
        sb.addApp(QStringLiteral("org.xfce.ristretto.desktop"), QStringLiteral("Ristretto"));
        sb.addApp(QStringLiteral("org.gnome.eog.desktop"), QStringLiteral("Image Viewer"));
        QTRY_VERIFY_WITH_TIMEOUT(
            registry().applicationForIdentifier(QStringLiteral("org.gnome.eog.desktop")), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            registry().applicationForIdentifier(QStringLiteral("org.xfce.ristretto.desktop")),
            10000);
        const QUrl jpg = file(QStringLiteral("photo.jpg"));
        const std::optional<QUrl> viewer = vc->previewAppForImageIfMissing(jpg, {});
        QVERIFY(viewer);
        QCOMPARE(viewer->toLocalFile(),
                 sb.appUrl(QStringLiteral("org.gnome.eog.desktop")).toLocalFile());
        // A list that holds a viewer, whichever, gets none added.
        QCOMPARE(vc->previewAppForImageIfMissing(
                     jpg, {sb.appUrl(QStringLiteral("jpg-a.desktop")),
                           sb.appUrl(QStringLiteral("org.xfce.ristretto.desktop"))}),
                 std::nullopt);
        // Not an image type of the five: no viewer.
        QCOMPARE(vc->previewAppForImageIfMissing(file(QStringLiteral("old.bmp")), {}),
                 std::nullopt);
        QCOMPARE(vc->previewAppForImageIfMissing(file(QStringLiteral("table.csv")), {}),
                 std::nullopt);
    }

    void defaultListedThirdMovesToTheFront() {
        const QList<AppCandidate> list = vc->loadAppCandidates(file(QStringLiteral("table.csv")));
        QCOMPARE(idsOf(list),
                 (QStringList{QStringLiteral("csv-c.desktop"), QStringLiteral("csv-a.desktop"),
                              QStringLiteral("csv-b.desktop"), QStringLiteral("csv-d.desktop")}));
        VERIFY_SHAPE(list);
        QCOMPARE(list.first().name, QStringLiteral("App csv-c"));
        for (const AppCandidate& c : list)
            QCOMPARE(c.version, std::nullopt);
    }

    void samePathListedTwice() {
        // GIO lists every desktop file once; an answer that names one twice
        // (here: all of them, one also with a trailing slash) gives the same
        // list as the plain answer, with one button per application.
        const QUrl csv = file(QStringLiteral("table.csv"));
        const QList<QUrl> answer = registry().applicationsForFile(csv);
        QCOMPARE(answer.size(), 4);
        QList<QUrl> repeated = answer + answer;
        repeated.insert(1, QUrl(answer.at(2).toString() + QLatin1Char('/')));
        const QList<AppCandidate> list = marvoline::appCandidatesFromAnswer(*vc, csv, repeated);
        QCOMPARE(idsOf(list), idsOf(vc->loadAppCandidates(csv)));
        QCOMPARE(list.size(), 4);
        VERIFY_SHAPE(list);
        for (const AppCandidate& c : list)
            QCOMPARE(c.version, std::nullopt);
    }

    void registryDefaultOutsideItsListComesFirst() {
        const QUrl md = file(QStringLiteral("notes.md"));
        QCOMPARE(idsOf(registry().applicationsForFile(md)),
                 QStringList{QStringLiteral("md-a.desktop")});
        const QList<AppCandidate> list = vc->loadAppCandidates(md);
        QCOMPARE(idsOf(list),
                 (QStringList{QStringLiteral("md-x.desktop"), QStringLiteral("md-a.desktop")}));
        VERIFY_SHAPE(list);
    }

    void rememberedDefaultOutsideTheListComesFirst() {
        // The chooser is the registry's default for MP4 and remembers what it
        // replaced; the registry does not list that application for MP4.
        const QUrl mp4 = file(QStringLiteral("clip.mp4"));
        const QList<AppCandidate> list = vc->loadAppCandidates(mp4);
        QCOMPARE(idsOf(list),
                 (QStringList{QStringLiteral("remembered.desktop"), QStringLiteral("mp4-a.desktop"),
                              QStringLiteral("mp4-b.desktop")}));
        VERIFY_SHAPE(list);
        QCOMPARE(vc->loadPreviousDefault(mp4)->toLocalFile(),
                 sb.applicationsDir() + QStringLiteral("/remembered.desktop"));
    }

    void deletedRememberedDefaultFallsBackToTheFirst() {
        const QUrl mp3 = file(QStringLiteral("song.mp3"));
        QVERIFY(!QFile::exists(deletedApp()));
        QCOMPARE(vc->loadPreviousDefault(mp3), std::nullopt);
        const QList<AppCandidate> list = vc->loadAppCandidates(mp3);
        QCOMPARE(idsOf(list),
                 (QStringList{QStringLiteral("mp3-a.desktop"), QStringLiteral("mp3-b.desktop")}));
        VERIFY_SHAPE(list);
    }

    void deletedRememberedImageDefaultFallsBackToTheViewer() {
        const QUrl gif = file(QStringLiteral("anim.gif"));
        QTRY_VERIFY_WITH_TIMEOUT(idsOf(registry().applicationsForFile(gif))
                                     .contains(QStringLiteral("org.gnome.eog.desktop")),
                                 10000);
        QCOMPARE(vc->loadPreviousDefault(gif), std::nullopt); // both keys name a deleted file
        const QList<AppCandidate> list = vc->loadAppCandidates(gif);
        // The viewer stands third in the registry's answer; the chooser, listed
        // second, is not offered; no second viewer is added.
        QCOMPARE(idsOf(list), (QStringList{QStringLiteral("org.gnome.eog.desktop"),
                                           QStringLiteral("gif-a.desktop")}));
        VERIFY_SHAPE(list);
    }

    void chooserItselfIsNeverACandidate() {
        const QUrl archive = file(QStringLiteral("pack.7z"));
        const QList<QUrl> answer = registry().applicationsForFile(archive);
        QVERIFY(idsOf(answer).contains(ownId));
        // First in the registry's list, so also its default.
        QCOMPARE(registry().bundleIdentifier(*registry().defaultApplicationForFile(archive)),
                 ownId);
        const QList<AppCandidate> list = vc->loadAppCandidates(archive);
        QCOMPARE(idsOf(list),
                 (QStringList{QStringLiteral("7z-a.desktop"), QStringLiteral("7z-b.desktop")}));
        VERIFY_SHAPE(list);
        QVERIFY(!idsOf(vc->loadAppCandidates(file(QStringLiteral("clip.mp4")))).contains(ownId));
    }

    void imageWithAnInstalledViewer() {
        // PNG: listed apps, the registry's default among them; the viewer is
        // added right behind the default.
        QList<AppCandidate> list = vc->loadAppCandidates(file(QStringLiteral("shot.png")));
        QCOMPARE(idsOf(list), (QStringList{QStringLiteral("png-a.desktop"),
                                           QStringLiteral("org.gnome.eog.desktop"),
                                           QStringLiteral("png-b.desktop")}));
        VERIFY_SHAPE(list);

        // TIFF: nothing listed, so the viewer is the default.
        list = vc->loadAppCandidates(file(QStringLiteral("scan.tiff")));
        QCOMPARE(idsOf(list), QStringList{QStringLiteral("org.gnome.eog.desktop")});
        VERIFY_SHAPE(list);
        QCOMPARE(list.first().name, QStringLiteral("Image Viewer"));

        // BMP is not one of the image types that get the viewer.
        list = vc->loadAppCandidates(file(QStringLiteral("old.bmp")));
        QCOMPARE(idsOf(list), QStringList{QStringLiteral("bmp-a.desktop")});
        VERIFY_SHAPE(list);
    }

    void sameDisplayNamesCarryVersions() {
        const QList<AppCandidate> list = vc->loadAppCandidates(file(QStringLiteral("track.flac")));
        QCOMPARE(idsOf(list),
                 (QStringList{QStringLiteral("flac-a.desktop"), QStringLiteral("flac-b.desktop"),
                              QStringLiteral("flac-c.desktop"), QStringLiteral("flac-d.desktop")}));
        VERIFY_SHAPE(list);
        QCOMPARE(list.at(0).name, QStringLiteral("Player"));
        QCOMPARE(list.at(1).name, QStringLiteral("Player"));
        QCOMPARE(list.at(2).name, QStringLiteral("Player"));
        QCOMPARE(list.at(3).name, QStringLiteral("Tagger"));
        QCOMPARE(list.at(0).version, QStringLiteral("2.0"));
        QCOMPARE(list.at(1).version, QStringLiteral("1.5"));
        QCOMPARE(list.at(2).version, std::nullopt); // no metainfo
        QCOMPARE(list.at(3).version, std::nullopt); // unique name, metainfo or not
    }

    void displayNames() {
        const auto name = [&](const char* id) {
            return vc->localizedAppName(sb.appUrl(QString::fromLatin1(id)));
        };
        const QByteArray saved = qgetenv("LANGUAGE");
        const auto restore = qScopeGuard([&] {
            if (saved.isNull())
                qunsetenv("LANGUAGE");
            else
                qputenv("LANGUAGE", saved);
        });
        qputenv("LANGUAGE", "en");
        QCOMPARE(name("name-plain.desktop"), QStringLiteral("Plain"));
        QCOMPARE(name("name-full.desktop"), QStringLiteral("Long Name"));
        QCOMPARE(name("name-ja.desktop"), QStringLiteral("Full"));
        QCOMPARE(name("name-jafull.desktop"), QStringLiteral("Base"));
        // Not loadable: the file name without ".desktop".
        QCOMPARE(name("name.broken.desktop"), QStringLiteral("name.broken"));
        QCOMPARE(
            vc->localizedAppName(QUrl::fromLocalFile(QStringLiteral("/nowhere/Some App.desktop"))),
            QStringLiteral("Some App"));

        qputenv("LANGUAGE", "ja");
        const QString ja = name("name-ja.desktop");
        const QString jaFull = name("name-jafull.desktop");
        const QString plain = name("name-plain.desktop");
        // The unlocalised full name outranks the localised name.
        QCOMPARE(ja, QStringLiteral("Full"));
        QCOMPARE(jaFull, QStringLiteral("フル"));
        QCOMPARE(plain, QStringLiteral("Plain"));
    }

    void resolutionSteps() {
        const QUrl png = file(QStringLiteral("shot.png"));
        const QUrl csv = file(QStringLiteral("table.csv"));
        const QUrl a = sb.appUrl(QStringLiteral("png-a.desktop"));
        const QUrl b = sb.appUrl(QStringLiteral("png-b.desktop"));
        const QUrl viewer = sb.appUrl(QStringLiteral("org.xfce.ristretto.desktop"));
        // An image file prefers a viewer anywhere in the list, else the first.
        QCOMPARE(vc->fallbackDefaultApp(png, {a, b, viewer}), viewer);
        QCOMPARE(vc->fallbackDefaultApp(png, {a, b}), a);
        QCOMPARE(vc->fallbackDefaultApp(csv, {a, b, viewer}), a);
        QCOMPARE(vc->fallbackDefaultApp(csv, {}), std::nullopt);
        // The final default is the initial one when the list holds it, by path.
        QCOMPARE(vc->finalDefaultApp(csv, QUrl(b.toString() + QLatin1Char('/')), {a, b}),
                 QUrl(b.toString() + QLatin1Char('/')));
        QCOMPARE(vc->finalDefaultApp(csv, sb.appUrl(QStringLiteral("md-x.desktop")), {a, b}), a);
        QCOMPARE(vc->finalDefaultApp(png, std::nullopt, {a, viewer}), viewer);
        // Another application as the registry's default is taken as it is.
        QCOMPARE(vc->initialDefaultApp(csv, {})->toLocalFile(),
                 sb.appUrl(QStringLiteral("csv-c.desktop")).toLocalFile());
    }
};

MARVOLINE_TEST_MAIN(TestCandidates)
#include "tst_candidates.moc"
