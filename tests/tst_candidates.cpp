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

#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <memory>

using marvoline::AppCandidate;
using marvoline::MainViewController;
using marvoline::platform::registry;
using namespace Qt::StringLiterals;

namespace {

const QString ownId = marvoline::AppRegistry::ownIdentifier();

QStringList idsOf(const QList<QUrl>& list) {
    QStringList ids;
    for (const QUrl& url : list)
        ids.append(marvoline::displayFileName(url));
    return ids;
}
QStringList idsOf(const QList<AppCandidate>& list) {
    QList<QUrl> urls;
    for (const AppCandidate& candidate : list)
        urls.append(candidate.url);
    return idsOf(urls);
}

// "a b" -> {"a.desktop", "b.desktop"}
QStringList desktopIds(const char* names) {
    QStringList ids = QString::fromLatin1(names).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& id : ids)
        id += u".desktop"_s;
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

class TestCandidates final : public QObject {
    Q_OBJECT

public:
    explicit TestCandidates(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        sb.addApp(ownId, u"Marvoline"_s);
        for (const QString& id : desktopIds("csv-a csv-b csv-c csv-d md-a md-x mp4-a mp4-b "
                                            "remembered mp3-a mp3-b gif-a 7z-a 7z-b jpg-a png-a "
                                            "png-b bmp-a"))
            sb.addApp(id, u"App "_s + id.chopped(8));
        // Three entries shown as "Player", two with metainfo; a unique name with metainfo.
        sb.addApp(u"flac-a.desktop"_s, u"Player"_s);
        sb.addApp(u"flac-b.desktop"_s, u"Other"_s, {}, {u"X-GNOME-FullName=Player"_s});
        sb.addApp(u"flac-c.desktop"_s, u"Player"_s);
        sb.addApp(u"flac-d.desktop"_s, u"Tagger"_s);
        sb.addMetainfo(u"flac-a.desktop"_s, {u"2.0"_s});
        sb.addMetainfo(u"flac-b.desktop"_s, {u"1.5"_s});
        sb.addMetainfo(u"flac-d.desktop"_s, {u"3.1"_s});
        sb.addApp(u"name-ja.desktop"_s, u"Base"_s, {},
                  {u"Name[ja]=ベース"_s, u"X-GNOME-FullName=Full"_s});
        sb.addApp(u"name-jafull.desktop"_s, u"Base"_s, {}, {u"X-GNOME-FullName[ja]=フル"_s});
        sb.addRawDesktopFile(u"name.broken.desktop"_s, "not a desktop entry\n");
        // Usable entries of the system that the user has deleted: the usual mask, Hidden=true
        // under the same ID in the user's own folder.
        for (const char* id : {"bad", "org.gnome.Loupe", "masked-player", "html-a", "webm-a"})
            sb.addApp(QString::fromLatin1(id) + u".desktop"_s, QString::fromLatin1(id));
        for (const char* id : {"bad", "org.gnome.Loupe", "masked-player"}) {
            QDir().mkpath(sb.dataHome() + u"/applications"_s);
            QFile mask(sb.dataHome() + u"/applications/"_s + QString::fromLatin1(id) +
                       u".desktop"_s);
            if (!mask.open(QIODevice::WriteOnly))
                qFatal("cannot write a mask");
            mask.write("[Desktop Entry]\nType=Application\nName=Deleted\nHidden=true\n");
        }

        sb.writeMimeinfoCache({
            {u"text/csv"_s, desktopIds("csv-a csv-b csv-c csv-d")},
            {u"text/markdown"_s, desktopIds("md-a")},
            {u"video/mp4"_s, desktopIds("mp4-a org.marvoline.Marvoline mp4-b")},
            {u"audio/mpeg"_s, desktopIds("mp3-a mp3-b")},
            // The viewer is listed but installed only while the test runs.
            {u"image/gif"_s, desktopIds("gif-a org.marvoline.Marvoline org.gnome.eog")},
            {u"application/x-7z-compressed"_s, desktopIds("org.marvoline.Marvoline 7z-a 7z-b")},
            {u"image/jpeg"_s, desktopIds("jpg-a")},
            {u"image/png"_s, desktopIds("png-a png-b")},
            {u"image/bmp"_s, desktopIds("bmp-a")},
            {u"audio/flac"_s, desktopIds("flac-a flac-b flac-c flac-d")},
            {u"text/html"_s, desktopIds("bad html-a")},
            {u"video/webm"_s, desktopIds("webm-a")},
        });
        sb.writeDefaults({
            {u"text/csv"_s, u"csv-c.desktop"_s},
            // Does not declare the type: the registry leaves it out of its list.
            {u"text/markdown"_s, u"md-x.desktop"_s},
            {u"video/mp4"_s, ownId},
            {u"audio/mpeg"_s, ownId},
            {u"image/gif"_s, ownId},
            {u"text/html"_s, u"bad.desktop"_s},
            {u"video/webm"_s, ownId},
        });

        marvoline::PreferencesStore prefs(sb.preferencesPath());
        const QString prefix = MainViewController::previousDefaultKeyPrefix;
        const QString deleted = sb.applicationsDir() + u"/deleted-player.desktop"_s;
        prefs.setValue(prefix + u"video/mp4"_s,
                       QString(sb.applicationsDir() + u"/remembered.desktop"_s));
        for (const char* type : {"audio/mpeg", "image/gif", "image/*"})
            prefs.setValue(prefix + QString::fromLatin1(type), deleted);
        prefs.setValue(
            prefix + QStringLiteral("video/webm"),
            QString(sb.dataHome() + QStringLiteral("/applications/masked-player.desktop")));

        for (const char* name : {"table.csv", "notes.md", "clip.mp4", "song.mp3", "anim.gif",
                                 "pack.7z", "photo.jpg", "shot.png", "scan.tiff", "old.bmp",
                                 "archive.tar", "track.flac", "page.html", "movie.webm"})
            sb.writeFile(QString::fromLatin1(name), QByteArray("some content of ") + name);
    }

private:
    marvoline::test::XdgSandbox& sb;
    std::unique_ptr<MainViewController> vc;

    QUrl file(const QString& name) const {
        return QUrl::fromLocalFile(sb.root() + u"/files/"_s + name);
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
        sb.addApp(u"org.xfce.ristretto.desktop"_s, u"Ristretto"_s);
        sb.addApp(u"org.gnome.eog.desktop"_s, u"Image Viewer"_s);
        for (const char* id : {"org.gnome.eog.desktop", "org.xfce.ristretto.desktop"})
            QTRY_VERIFY_WITH_TIMEOUT(registry().applicationForIdentifier(QString::fromLatin1(id)),
                                     10000);
        QTRY_VERIFY_WITH_TIMEOUT(idsOf(registry().applicationsForFile(file("anim.gif")))
                                     .contains(u"org.gnome.eog.desktop"_s),
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
        // A deleted (hidden) entry is no application: not the default, not remembered, not the
        // viewer (Loupe, the most preferred, is hidden: eog stands in for it above).
        QTest::newRow("hidden default: the next one") << "page.html" << desktopIds("html-a");
        QTest::newRow("hidden remembered default: the first")
            << "movie.webm" << desktopIds("webm-a");
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
            shown.append(c.name + QLatin1Char('|') + c.version.value_or(u"-"_s));
        // No metainfo: no version; a unique name: no version, metainfo or not.
        QCOMPARE(shown,
                 (QStringList{u"Player|2.0"_s, u"Player|1.5"_s, u"Player|-"_s, u"Tagger|-"_s}));
    }

    void displayNames() {
        const QByteArray saved = qgetenv("LANGUAGE");
        const auto restore = qScopeGuard(
            [&] { saved.isNull() ? qunsetenv("LANGUAGE") : qputenv("LANGUAGE", saved); });
        qputenv("LANGUAGE", "ja");
        const auto name = [this](const char* id) {
            return vc->localizedAppName(sb.appUrl(QString::fromLatin1(id)));
        };
        // A translated name before an untranslated full name, a translated full name
        // first, the file name when the entry is not loadable.
        QCOMPARE(name("name-ja.desktop"), u"ベース"_s);
        QCOMPARE(name("name-jafull.desktop"), u"フル"_s);
        QCOMPARE(name("name.broken.desktop"), u"name.broken"_s);
    }
};

MARVOLINE_TEST_MAIN(TestCandidates)
#include "tst_candidates.moc"
