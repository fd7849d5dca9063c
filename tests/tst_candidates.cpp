// The applications offered for a file: which, in which order, which one is the default, and under
// which name and version. Every scenario has its own content type, so one sandbox, written before
// the registry's first look, serves them all.

#include "handlers/CandidateList.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/PreferencesStore.h"
#include "support/TestMain.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QScopeGuard>

#include <algorithm>
#include <memory>

using marvoline::AppCandidate;
using marvoline::InstalledApp;
using marvoline::MainViewController;
using marvoline::platform::registry;
using namespace Qt::StringLiterals;
using marvoline::test::ownId;

namespace {

// "a own" -> {"a.desktop", "org.marvoline.Marvoline.desktop"}
QStringList desktopIds(const char* names) {
    QStringList ids = QString::fromLatin1(names).split(u' ', Qt::SkipEmptyParts);
    for (QString& id : ids)
        id = id == u"own"_s ? ownId : id + u".desktop"_s;
    return ids;
}

// The candidates' desktop file IDs, after checking what every list promises: the default
// alone and in front, an icon on every candidate.
QStringList idsOf(const QList<AppCandidate>& list) {
    QStringList ids;
    for (qsizetype i = 0; i < list.size(); ++i) {
        ids.append(marvoline::displayFileName(list.at(i).url));
        if (list.at(i).isDefault != (i == 0) || !list.at(i).icon || list.at(i).icon->isNull())
            ids.last() += u" (default or icon wrong)"_s;
    }
    return ids;
}

// One content type each, named by the file's extension: the registry's list for it, its default
// in mimeapps.list, the default the chooser remembers for it (deleted-player is not installed),
// and what is offered.
struct Scenario {
    const char *row, *file, *listed, *configured, *remembered, *expected;
};
const Scenario scenarios[] = {
    {"nothing opens it", "archive.tar", "", "", "", ""},
    {"default listed third moves to the front", "table.csv", "csv-a csv-b csv-c csv-d", "csv-c", "",
     "csv-c csv-a csv-b csv-d"},
    // md-x does not declare the type: the registry leaves it out of its list.
    {"registry default outside its list", "notes.md", "md-a", "md-x", "", "md-x md-a"},
    // From here the chooser is the default (or first listed, so the default).
    {"remembered default outside the list", "clip.mp4", "mp4-a own mp4-b", "own", "remembered",
     "remembered mp4-a mp4-b"},
    {"deleted remembered default: the first", "song.mp3", "mp3-a mp3-b", "own", "deleted-player",
     "mp3-a mp3-b"},
    {"chooser first and default, never offered", "pack.7z", "own 7z-a 7z-b", "", "", "7z-a 7z-b"},
    // Images get the system viewer (Loupe, the most preferred, is hidden: eog stands in).
    {"deleted remembered image default: the viewer", "anim.gif", "gif-a own org.gnome.eog", "own",
     "deleted-player", "org.gnome.eog gif-a"},
    {"a listed viewer: none added", "photo.jpg", "jpg-a org.xfce.ristretto", "", "",
     "jpg-a org.xfce.ristretto"},
    {"viewer behind the default", "shot.png", "png-a png-b", "", "", "png-a org.gnome.eog png-b"},
    {"viewer for an empty answer", "scan.tiff", "", "", "", "org.gnome.eog"},
    {"no viewer for other images", "old.bmp", "bmp-a", "", "", "bmp-a"},
    // A deleted (hidden) entry is no application: not the default, nor remembered.
    {"hidden default: the next one", "page.html", "bad html-a", "bad", "", "html-a"},
    // GIO lists an entry without Exec; nothing could start it.
    {"listed entry without Exec left out", "book.epub", "epub-a no-exec epub-b", "", "",
     "epub-a epub-b"},
    {"hidden remembered default: the first", "movie.webm", "webm-a", "own", "masked-player",
     "webm-a"},
    {"same names", "track.flac", "flac-a flac-b flac-c flac-d", "", "",
     "flac-a flac-b flac-c flac-d"},
    // Entries that run this program (self-copy: this executable; self-named: a program installed
    // under the chooser's name) start the chooser again: never offered nor counted down to.
    {"remembered default runs the chooser: the first", "sheet.ods", "ods-a ods-b", "own",
     "self-copy", "ods-a ods-b"},
    {"default runs the chooser: the remembered one", "talk.odp", "odp-a self-named odp-b",
     "self-named", "odp-b", "odp-b odp-a"},
    {"listed first, never offered", "letter.odt", "self-copy self-named odt-a", "", "", "odt-a"},
};

} // namespace

class TestCandidates final : public QObject {
    Q_OBJECT

public:
    explicit TestCandidates(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {
        sb.addApp(ownId, u"Marvoline"_s);
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
        sb.addApp(u"name-deja.desktop"_s, u"Base"_s, {},
                  {u"Name[ja]=ベース"_s, u"Name[de]=Basis"_s});
        sb.addApp(u"name-jaempty.desktop"_s, u"Base"_s, {},
                  {u"Name[ja]="_s, u"X-GNOME-FullName=Full"_s});
        sb.addRawDesktopFile(
            u"name-badde.desktop"_s,
            "[Desktop Entry]\nType=Application\nName=Base\nExec=true\n"
            "Name[de]=Bas\xff\xfe\nName[ja]=\xe3\x83\x99\xe3\x83\xbc\xe3\x82\xb9\n");
        sb.addRawDesktopFile(u"name.broken.desktop"_s, "not a desktop entry\n");
        sb.addRawDesktopFile(u"no-exec.desktop"_s,
                             "[Desktop Entry]\nType=Application\nName=None\n");
        sb.addApp(u"masked-player.desktop"_s, u"Hidden"_s, {}, {u"Hidden=true"_s});
        const QString named = sb.root() + u"/bin/marvoline"_s;
        if (!QFile::copy(sb.recorderPath(), named))
            qFatal("cannot copy the recorder to %s", qPrintable(named));
        for (const auto& [id, program] :
             {std::pair(u"self-copy.desktop"_s, QCoreApplication::applicationFilePath()),
              std::pair(u"self-named.desktop"_s, named)})
            sb.addRawDesktopFile(id, "[Desktop Entry]\nType=Application\nName=Chooser\nExec=" +
                                         QFile::encodeName(program) + " %F\n");

        QMap<QString, QStringList> lists;
        QMap<QString, QString> defaults;
        marvoline::PreferencesStore prefs(sb.preferencesPath());
        for (const Scenario& s : scenarios) {
            const QString type = QMimeDatabase().mimeTypeForFile(QLatin1String(s.file)).name();
            lists.insert(type, desktopIds(s.listed));
            for (const QString& id :
                 desktopIds(s.listed) + desktopIds(s.configured) + desktopIds(s.remembered)) {
                if (id != u"deleted-player.desktop"_s && !QFileInfo::exists(sb.appUrl(id).path()))
                    sb.addApp(id, u"App "_s + id);
            }
            if (*s.configured)
                defaults.insert(type, desktopIds(s.configured).value(0));
            if (*s.remembered)
                prefs.setValue(MainViewController::previousDefaultKeyPrefix + type,
                               sb.appUrl(desktopIds(s.remembered).value(0)).toLocalFile());
            sb.writeFile(QLatin1String(s.file), "some content of "_ba + s.file);
        }
        sb.writeMimeinfoCache(lists);
        sb.writeDefaults(defaults);
        // Installed entries the user has deleted (hidden in the user's own folder).
        sb.addApp(u"org.gnome.Loupe.desktop"_s, u"Loupe"_s);
        sb.hideApp(u"org.gnome.Loupe.desktop"_s);
        sb.hideApp(u"bad.desktop"_s);
    }

private:
    marvoline::test::XdgSandbox& sb;
    std::unique_ptr<MainViewController> vc;

private Q_SLOTS:
    void initTestCase() { vc = std::make_unique<MainViewController>(); }

    void order_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("expected");
        for (const Scenario& s : scenarios)
            QTest::newRow(s.row) << QString::fromLatin1(s.file) << desktopIds(s.expected);
    }

    void order() {
        QFETCH(QString, fileName);
        QFETCH(QStringList, expected);
        const QUrl file = sb.fileUrl(fileName);
        QCOMPARE(idsOf(vc->loadAppCandidates(file)), expected);
        // Should the registry name every application twice, each is still offered once.
        const QList<QUrl> answer = registry().applicationsForFile(file);
        QCOMPARE(idsOf(marvoline::appCandidatesFromAnswer(*vc, file, answer + answer)), expected);
    }

    void namesAndVersions() {
        QStringList shown;
        for (const AppCandidate& c : vc->loadAppCandidates(sb.fileUrl(u"track.flac"_s)))
            shown.append(c.name + u'|' + c.version.value_or(u"-"_s));
        // Same names carry versions; no metainfo: none; a unique name: none, metainfo or not.
        QCOMPARE(shown,
                 (QStringList{u"Player|2.0"_s, u"Player|1.5"_s, u"Player|-"_s, u"Tagger|-"_s}));
    }

    void translatedNames_data() {
        QTest::addColumn<QByteArray>("languages");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected");
        // A translated name before an untranslated full name, a translated full name first,
        // the file name when the entry is not loadable.
        QTest::newRow("name") << "ja"_ba << u"name-ja.desktop"_s << u"ベース"_s;
        QTest::newRow("full name") << "ja"_ba << u"name-jafull.desktop"_s << u"フル"_s;
        QTest::newRow("broken") << "ja"_ba << u"name.broken.desktop"_s << u"name.broken"_s;
        // The user's languages in their order; a language of a region finds its language's.
        QTest::newRow("first language") << "de:ja"_ba << u"name-deja.desktop"_s << u"Basis"_s;
        QTest::newRow("second first") << "ja:de"_ba << u"name-deja.desktop"_s << u"ベース"_s;
        QTest::newRow("region") << "ja_JP"_ba << u"name-ja.desktop"_s << u"ベース"_s;
        // A translation that is not UTF-8 counts as none; an empty one is not shown.
        QTest::newRow("unreadable") << "de:ja"_ba << u"name-badde.desktop"_s << u"ベース"_s;
        QTest::newRow("empty") << "ja"_ba << u"name-jaempty.desktop"_s << u"Full"_s;
        // No translation into the user's language: the untranslated full name wins.
        QTest::newRow("untranslated") << "fr"_ba << u"name-ja.desktop"_s << u"Full"_s;
    }

    // The name under which the chooser shows an application, and the picker of every
    // installed application lists it.
    void translatedNames() {
        QFETCH(QByteArray, languages);
        QFETCH(QString, id);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("LANGUAGE");
        const auto restore = qScopeGuard(
            [&] { saved.isNull() ? qunsetenv("LANGUAGE") : qputenv("LANGUAGE", saved); });
        qputenv("LANGUAGE", languages);
        const QUrl app = sb.appUrl(id);
        QCOMPARE(vc->localizedAppName(app), expected);
        const QList<InstalledApp> installed = registry().allApplications();
        const auto listed = std::find_if(installed.begin(), installed.end(),
                                         [&](const InstalledApp& each) { return each.url == app; });
        if (id != u"name.broken.desktop"_s) {
            QVERIFY(listed != installed.end());
            QCOMPARE(listed->name, expected);
        }
    }
};

MARVOLINE_TEST_MAIN(TestCandidates)
#include "tst_candidates.moc"
