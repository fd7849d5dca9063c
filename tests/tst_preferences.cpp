// The preferences file and the usage counts kept in it.

#include "main/MainViewController.h"
#include "platform/PreferencesStore.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <limits>

using marvoline::MainViewController;
using marvoline::PreferencesStore;

namespace {

void writeRaw(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject parsedFile(const QString& path) {
    const QJsonDocument doc = QJsonDocument::fromJson(readRaw(path));
    return doc.isObject() ? doc.object() : QJsonObject();
}

void countUse(const QString& app) {
    MainViewController::recordAppUsage(QUrl::fromLocalFile(app));
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

public:
    explicit TestPreferences(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {}

private:
    marvoline::test::XdgSandbox& sb;

    QString folder() const { return QFileInfo(sb.preferencesPath()).absolutePath(); }
    QJsonObject usage() const {
        return parsedFile(sb.preferencesPath()).value(MainViewController::appUsageKey).toObject();
    }
    QStringList corruptCopies() const {
        return QDir(folder()).entryList({QStringLiteral("preferences.json.corrupt-*")}, QDir::Files,
                                        QDir::Name);
    }

private Q_SLOTS:
    void init() {
        // Every case starts without a preferences folder.
        QFile::remove(folder());
        QVERIFY(QDir(folder()).removeRecursively());
    }

    void countsUsesPerApplication() {
        const QString viewer = sb.applicationsDir() + QStringLiteral("/viewer.desktop");
        const QString editor = sb.applicationsDir() + QStringLiteral("/editor.desktop");
        countUse(viewer);
        QCOMPARE(usage(), (QJsonObject{{viewer, 1}})); // the folder is created when missing
        countUse(viewer);
        QCOMPARE(usage(), (QJsonObject{{viewer, 2}}));
        countUse(editor);
        QCOMPARE(usage(), (QJsonObject{{viewer, 2}, {editor, 1}}));
        QVERIFY(!QFileInfo::exists(sb.preferencesPath() + QStringLiteral(".lock")));

        // Reads see the file as it is now, not as an earlier read found it.
        PreferencesStore store = PreferencesStore::standard();
        writeRaw(sb.preferencesPath(), R"({"k": "one"})");
        QCOMPARE(store.value(QStringLiteral("k")).toString(), QStringLiteral("one"));
        writeRaw(sb.preferencesPath(), R"({"k": "two"})");
        QCOMPARE(store.value(QStringLiteral("k")).toString(), QStringLiteral("two"));
    }

    void trailingSlashCountsIntoTheSameEntry() {
        for (const char* url : {"file:///opt/x/app.desktop", "file:///opt/x/app.desktop/",
                                "file:///opt/x/app.desktop//"})
            MainViewController::recordAppUsage(QUrl(QString::fromLatin1(url)));
        QCOMPARE(usage(), (QJsonObject{{QStringLiteral("/opt/x/app.desktop"), 3}}));
    }

    void unusableCountsAreReplacedWhole_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("string") << QByteArray(R"("many")");
        QTest::newRow("null") << QByteArray(R"(null)");
        QTest::newRow("text value") << QByteArray(R"({"/a.desktop": 3, "/b.desktop": "4"})");
        QTest::newRow("fraction") << QByteArray(R"({"/a.desktop": 3, "/b.desktop": 1.5})");
        QTest::newRow("beyond int64") << QByteArray(R"({"/a.desktop": 3, "/b.desktop": 1e30})");
    }

    void unusableCountsAreReplacedWhole() {
        QFETCH(QByteArray, stored);
        const QString app = QStringLiteral("/usr/share/applications/counted.desktop");
        writeRaw(sb.preferencesPath(),
                 R"({"unrelated": "kept", "marvoline.appUsage": )" + stored + "}");
        countUse(app);
        const QJsonObject prefs = parsedFile(sb.preferencesPath());
        QCOMPARE(prefs.value(MainViewController::appUsageKey).toObject(), (QJsonObject{{app, 1}}));
        QCOMPARE(prefs.value(QStringLiteral("unrelated")).toString(), QStringLiteral("kept"));
        QVERIFY(corruptCopies().isEmpty());
    }

    void integralCountsAreKept() {
        // 4.0 is a count too; the largest count stays instead of wrapping round.
        writeRaw(sb.preferencesPath(), R"({"marvoline.appUsage": {"/a.desktop": 4.0,)"
                                       R"( "/c.desktop": 9223372036854775807}})");
        countUse(QStringLiteral("/a.desktop"));
        countUse(QStringLiteral("/c.desktop"));
        QCOMPARE(usage(),
                 (QJsonObject{{QStringLiteral("/a.desktop"), 5},
                              {QStringLiteral("/c.desktop"), std::numeric_limits<qint64>::max()}}));
    }

    void corruptFilesAreKeptAside() {
        // One after the other, quicker than the clock's resolution: no copy replaces another.
        const QList<QByteArray> corrupt{R"({"marvoline.appUsage": {"/a.desktop": 3)",
                                        R"(["marvoline.appUsage"])",
                                        QByteArray("\x00\xff\xfe garbage\n", 13), QByteArray()};
        for (qsizetype i = 0; i < corrupt.size(); ++i) {
            writeRaw(sb.preferencesPath(), corrupt.at(i));
            QVERIFY(PreferencesStore::standard().read().isEmpty());
            // Reading alone leaves the file where it is.
            QCOMPARE(readRaw(sb.preferencesPath()), corrupt.at(i));
            QCOMPARE(corruptCopies().size(), i);
            countUse(QStringLiteral("/a.desktop"));
            QCOMPARE(usage(), (QJsonObject{{QStringLiteral("/a.desktop"), 1}}));
        }
        QList<QByteArray> kept;
        for (const QString& name : corruptCopies())
            kept.append(readRaw(folder() + QLatin1Char('/') + name));
        QList<QByteArray> expected = corrupt;
        std::sort(kept.begin(), kept.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(kept, expected);
    }

    void unwritableFolderLosesTheWrite() {
        // A file where the folder should be: no process, not even root's, can create it.
        writeRaw(folder(), "in the way");
        PreferencesStore store = PreferencesStore::standard();
        QVERIFY(!store.setValue(QStringLiteral("k"), 1));
        countUse(QStringLiteral("/a.desktop"));
        QVERIFY(store.read().isEmpty());
        QCOMPARE(readRaw(folder()), QByteArray("in the way"));
    }

    void concurrentProcessesLoseNoCount() {
        const QString shared = QStringLiteral("/usr/share/applications/shared.desktop");
        PreferencesStore::standard().setValue(QStringLiteral("kept"), QStringLiteral("yes"));
        QProcess counters[2];
        for (QProcess& p : counters) {
            p.setProcessChannelMode(QProcess::ForwardedChannels);
            p.start(QStringLiteral(COUNT_USES_EXECUTABLE), {shared, QStringLiteral("200")});
        }
        for (QProcess& p : counters) {
            QVERIFY(p.waitForFinished(120000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 0);
        }
        const QJsonObject prefs = parsedFile(sb.preferencesPath());
        QCOMPARE(prefs.value(MainViewController::appUsageKey).toObject(),
                 (QJsonObject{{shared, 400}}));
        QCOMPARE(prefs.value(QStringLiteral("kept")).toString(), QStringLiteral("yes"));
        QVERIFY(corruptCopies().isEmpty());
    }
};

MARVOLINE_TEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
