// The folder summary: the figures of the whole tree (gathered off the UI
// thread), the listing of the direct entries, and the walk's behaviour on
// hidden entries, link loops, unreadable folders and very large folders.
#include "support/TestMain.h"

#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/FolderWalk.h"
#include "views/FolderPreviewView.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace marvoline;

namespace {

const QString kNoDate = QStringLiteral("—");

bool makeFile(const QString& path, qint64 size = 0) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
}

bool setModified(const QString& path, qint64 secsSinceEpoch) {
    const timespec times[2] = {{secsSinceEpoch, 0}, {secsSinceEpoch, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) ==
           0;
}

QString dateText(qint64 secsSinceEpoch) {
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(secsSinceEpoch), QLocale::ShortFormat);
}

// The summary and listing once the walk of the folder has finished.
struct Shown {
    QString summary;
    QString listing;
};

Shown showFolder(const QString& path) {
    FolderPreviewView view;
    QSignalSpy done(&view, &FolderPreviewView::statisticsReady);
    view.configure(QUrl::fromLocalFile(path));
    if (!done.wait(30000))
        return {QStringLiteral("(walk did not finish)"), {}};
    return {view.summaryText(), view.listingText()};
}

} // namespace

class TestFolderPreview final : public QObject {
    Q_OBJECT

public:
    explicit TestFolderPreview(test::XdgSandbox&) {}

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void emptyFolder() {
        const Shown shown = showFolder(m_dir->path());
        QCOMPARE(shown.summary, QStringLiteral("0 bytes\n0 項目\n") + kNoDate);
        QCOMPARE(shown.listing, QString());
    }

    void unreadableFolderShowsZeroFigures() {
        const Shown shown = showFolder(m_dir->path() + QStringLiteral("/not-there"));
        QCOMPARE(shown.summary, QStringLiteral("0 bytes\n0 項目\n") + kNoDate);
        QCOMPARE(shown.listing, QString());
    }

    void listingLimit_data() {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("one") << 1 << 1 << QStringLiteral("📄 f0");
        QTest::newRow("exactly 100") << 100 << 100 << QString();
        QTest::newRow("101") << 101 << 101 << QStringLiteral("... 他 1 項目");
        QTest::newRow("250") << 250 << 101 << QStringLiteral("... 他 150 項目");
    }
    void listingLimit() {
        QFETCH(int, entries);
        QFETCH(int, lines);
        QFETCH(QString, lastLine);
        for (int i = 0; i < entries; ++i)
            QVERIFY(makeFile(m_dir->filePath(QStringLiteral("f%1").arg(i))));
        const Shown shown = showFolder(m_dir->path());
        const QStringList listed = shown.listing.split(QLatin1Char('\n'));
        QCOMPARE(listed.size(), lines);
        if (!lastLine.isEmpty())
            QCOMPARE(listed.last(), lastLine);
        const qsizetype files =
            listed.filter(QRegularExpression(QStringLiteral("^📄 f\\d+$"))).size();
        QCOMPARE(files, qMin(entries, 100));
        QVERIFY(!shown.listing.endsWith(QLatin1Char('\n')));
        QVERIFY(shown.summary.contains(QStringLiteral("\n%1 項目\n").arg(entries)));
    }

    void hiddenEntriesAreLeftOut() {
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral(".hidden")), 100));
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral(".cache/inside")), 100));
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral("shown")), 5));
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral("sub/.also-hidden")), 100));
        const Shown shown = showFolder(m_dir->path());
        QVERIFY2(shown.summary.startsWith(QStringLiteral("5 bytes\n2 項目\n")),
                 qPrintable(shown.summary));
        const QStringList listed = shown.listing.split(QLatin1Char('\n'));
        QCOMPARE(QSet<QString>(listed.begin(), listed.end()),
                 (QSet<QString>{QStringLiteral("📄 shown"), QStringLiteral("📁 sub")}));
    }

    void subfolderFilesCountAndNewestDateAtDepth() {
        const QString sub = m_dir->filePath(QStringLiteral("sub"));
        QVERIFY(makeFile(sub + QStringLiteral("/a"), 1000));
        QVERIFY(makeFile(sub + QStringLiteral("/b"), 2000));
        QVERIFY(makeFile(sub + QStringLiteral("/c"), 500));
        const qint64 older = 1'600'000'000;
        const qint64 newest = 1'700'000'000;
        QVERIFY(setModified(sub + QStringLiteral("/a"), older));
        QVERIFY(setModified(sub + QStringLiteral("/b"), newest));
        QVERIFY(setModified(sub + QStringLiteral("/c"), older + 60));
        QVERIFY(setModified(sub, older + 120));
        const Shown shown = showFolder(m_dir->path());
        QCOMPARE(shown.summary, QStringLiteral("3.5 kB\n4 項目\n") + dateText(newest));
        QCOMPARE(shown.listing, QStringLiteral("📁 sub"));

        // A folder newer than every file wins as well: folders count for the date.
        QVERIFY(setModified(sub, newest + 3600));
        QCOMPARE(showFolder(m_dir->path()).summary,
                 QStringLiteral("3.5 kB\n4 項目\n") + dateText(newest + 3600));
    }

    void linksAreNotFollowed() {
        QTemporaryDir outside;
        QVERIFY(makeFile(outside.filePath(QStringLiteral("big")), 100000));
        const QString sub = m_dir->filePath(QStringLiteral("sub"));
        QVERIFY(QDir().mkpath(sub));
        QVERIFY(QFile::link(QStringLiteral(".."), sub + QStringLiteral("/up")));
        QVERIFY(QFile::link(QStringLiteral("."), sub + QStringLiteral("/self")));
        QVERIFY(QFile::link(outside.path(), m_dir->filePath(QStringLiteral("out"))));

        const std::optional<FolderStatistics> stats =
            folderStatistics(QFile::encodeName(m_dir->path()));
        QVERIFY(stats);
        QCOMPARE(stats->count, 4);
        // A link is an entry of its own: its size is that of the path it holds.
        QCOMPARE(stats->totalSize, 2 + 1 + QFile::encodeName(outside.path()).size());
        const FolderListing listing = listFolder(QFile::encodeName(m_dir->path()), 100);
        for (const FolderEntry& entry : listing.entries)
            QCOMPARE(entry.isDirectory, entry.name == QLatin1String("sub"));
    }

    void unreadableSubfolderIsSkipped() {
        // Root reads every folder, so the walk then runs as nobody.
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner | QFile::ReadOther |
                                                         QFile::ExeOther));
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral("a/one")), 10));
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral("a/two")), 20));
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral("locked/inside")), 100));
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral("z")), 5));
        QVERIFY(QFile::setPermissions(m_dir->filePath(QStringLiteral("a")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(m_dir->filePath(QStringLiteral("locked")), {}));
        for (const char* name : {"a/one", "a/two", "z"})
            QVERIFY(QFile::setPermissions(m_dir->filePath(QString::fromLatin1(name)),
                                          QFile::ReadOwner | QFile::ReadOther));

        QProcess walk;
        if (::geteuid() == 0) {
            walk.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(3);
            });
        }
        walk.start(QStringLiteral(FOLDER_STATS_EXECUTABLE), {m_dir->path()});
        QVERIFY(walk.waitForFinished(30000));
        QCOMPARE(walk.exitCode(), 0);
        const QList<QByteArray> figures = walk.readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(figures.size(), 3);
        // a, a/one, a/two, locked, z; nothing from inside locked.
        QCOMPARE(figures.at(0), QByteArray("5"));
        QCOMPARE(figures.at(1), QByteArray("35"));
        QVERIFY(QFile::setPermissions(m_dir->filePath(QStringLiteral("locked")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void cancelledWalkHasNoResult() {
        QVERIFY(makeFile(m_dir->filePath(QStringLiteral("sub/a"))));
        int asked = 0;
        const auto stats = folderStatistics(QFile::encodeName(m_dir->path()), [&asked] {
            ++asked;
            return true;
        });
        QVERIFY(!stats);
        QCOMPARE(asked, 1);
    }

    // The chooser shows a huge folder at once; the figures follow, and a newer
    // preview stops the walk of the older one.
    void hugeFolderShowsBeforeTheWalkEnds() {
        constexpr int kEntries = 200'000;
        const QByteArray base = QFile::encodeName(m_dir->path()) + "/entry-";
        for (int i = 0; i < kEntries; ++i) {
            const int fd = ::open(QByteArray(base + QByteArray::number(i)).constData(),
                                  O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        MainViewController vc;
        vc.show();
        vc.setupPreview(QUrl::fromLocalFile(m_dir->path()));
        auto* folder = qobject_cast<FolderPreviewView*>(vc.previewView);
        QVERIFY(folder);
        QVERIFY(QTest::qWaitForWindowExposed(&vc));
        QVERIFY(folder->isVisible());
        QVERIFY(!folder->walk().isFinished());
        QCOMPARE(folder->summaryText(), QStringLiteral("…"));

        QSignalSpy done(folder, &FolderPreviewView::statisticsReady);
        QVERIFY(done.wait(60000));
        QCOMPARE(folder->summaryText().section(QLatin1Char('\n'), 1, 1),
                 QStringLiteral("200000 項目"));
        QVERIFY(folder->listingText().endsWith(QStringLiteral("\n... 他 199900 項目")));

        vc.setupPreview(QUrl::fromLocalFile(m_dir->path()));
        const QFuture<FolderReport> older =
            qobject_cast<FolderPreviewView*>(vc.previewView)->walk();
        const QTemporaryDir empty;
        vc.setupPreview(QUrl::fromLocalFile(empty.path()));
        QVERIFY(older.isCanceled());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

MARVOLINE_TEST_MAIN(TestFolderPreview)
#include "tst_folder_preview.moc"
