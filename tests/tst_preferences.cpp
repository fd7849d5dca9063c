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
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <limits>

#include <unistd.h>

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

// The file as it is on disk, parsed strictly.
QJsonObject parsedFile(const QString& path) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(readRaw(path), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    return doc.object();
}

QStringList corruptCopies(const QString& path) {
    const QFileInfo info(path);
    return QDir(info.absolutePath())
        .entryList({info.fileName() + QStringLiteral(".corrupt-*")}, QDir::Files, QDir::Name);
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

public:
    explicit TestPreferences(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {}

private:
    marvoline::test::XdgSandbox& sb;

    QString prefsFolder() const { return QFileInfo(sb.preferencesPath()).absolutePath(); }
    QJsonObject usage() const {
        return parsedFile(sb.preferencesPath()).value(MainViewController::appUsageKey).toObject();
    }

private Q_SLOTS:
    void init() {
        // Every case starts without a preferences folder.
        const QFileInfo folder(prefsFolder());
        if (folder.isDir())
            QVERIFY(QDir(prefsFolder()).removeRecursively());
        else if (folder.exists())
            QVERIFY(QFile::remove(prefsFolder()));
    }

    void standardLocationFollowsTheEnvironment() {
        QCOMPARE(PreferencesStore::standard().filePath(), sb.preferencesPath());
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        const QString elsewhere = sb.root() + QStringLiteral("/other-config");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(elsewhere));
        const QString moved = PreferencesStore::standard().filePath();
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(moved, elsewhere + QStringLiteral("/marvoline/preferences.json"));
        QCOMPARE(PreferencesStore::standard().filePath(), sb.preferencesPath());
    }

    void countsUsesPerApplication() {
        const QString viewer = sb.applicationsDir() + QStringLiteral("/viewer.desktop");
        const QString editor = sb.applicationsDir() + QStringLiteral("/editor.desktop");

        MainViewController::recordAppUsage(QUrl::fromLocalFile(viewer));
        QCOMPARE(usage(), (QJsonObject{{viewer, 1}}));
        QVERIFY(QFileInfo(prefsFolder()).isDir()); // created when missing

        MainViewController::recordAppUsage(QUrl::fromLocalFile(viewer));
        QCOMPARE(usage(), (QJsonObject{{viewer, 2}}));

        MainViewController::recordAppUsage(QUrl::fromLocalFile(editor));
        QCOMPARE(usage(), (QJsonObject{{viewer, 2}, {editor, 1}}));
        QVERIFY(!QFileInfo::exists(sb.preferencesPath() + QStringLiteral(".lock")));
    }

    void trailingSlashCountsIntoTheSameEntry() {
        MainViewController::recordAppUsage(QUrl(QStringLiteral("file:///opt/x/app.desktop")));
        MainViewController::recordAppUsage(QUrl(QStringLiteral("file:///opt/x/app.desktop/")));
        MainViewController::recordAppUsage(QUrl(QStringLiteral("file:///opt/x/app.desktop//")));
        QCOMPARE(usage(), (QJsonObject{{QStringLiteral("/opt/x/app.desktop"), 3}}));
    }

    void unusableCountsAreReplacedWhole_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("string") << QByteArray(R"("many")");
        QTest::newRow("array") << QByteArray(R"([1, 2])");
        QTest::newRow("number") << QByteArray(R"(7)");
        QTest::newRow("null") << QByteArray(R"(null)");
        QTest::newRow("text value") << QByteArray(R"({"/a.desktop": 3, "/b.desktop": "4"})");
        QTest::newRow("fraction") << QByteArray(R"({"/a.desktop": 3, "/b.desktop": 1.5})");
        QTest::newRow("boolean") << QByteArray(R"({"/a.desktop": 3, "/b.desktop": true})");
        QTest::newRow("nested") << QByteArray(R"({"/a.desktop": 3, "/b.desktop": {"n": 1}})");
        QTest::newRow("beyond int64") << QByteArray(R"({"/a.desktop": 3, "/b.desktop": 1e30})");
    }

    void unusableCountsAreReplacedWhole() {
        QFETCH(QByteArray, stored);
        const QString app = QStringLiteral("/usr/share/applications/counted.desktop");
        writeRaw(sb.preferencesPath(),
                 R"({"unrelated": "kept", "marvoline.appUsage": )" + stored + "}");
        MainViewController::recordAppUsage(QUrl::fromLocalFile(app));
        const QJsonObject prefs = parsedFile(sb.preferencesPath());
        QCOMPARE(prefs.value(MainViewController::appUsageKey).toObject(), (QJsonObject{{app, 1}}));
        QCOMPARE(prefs.value(QStringLiteral("unrelated")).toString(), QStringLiteral("kept"));
        QVERIFY(corruptCopies(sb.preferencesPath()).isEmpty());
    }

    void integralCountsAreKept() {
        // 2^53 + 1 has no exact double: the count must stay an integer.
        writeRaw(sb.preferencesPath(), R"({"marvoline.appUsage": {"/a.desktop": 4.0,)"
                                       R"( "/b.desktop": 9007199254740993,)"
                                       R"( "/c.desktop": 9223372036854775807}})");
        MainViewController::recordAppUsage(QUrl::fromLocalFile(QStringLiteral("/a.desktop")));
        MainViewController::recordAppUsage(QUrl::fromLocalFile(QStringLiteral("/b.desktop")));
        MainViewController::recordAppUsage(QUrl::fromLocalFile(QStringLiteral("/c.desktop")));
        const QJsonObject counts = usage();
        QCOMPARE(counts.size(), 3);
        QCOMPARE(counts.value(QStringLiteral("/a.desktop")).toInteger(), 5);
        QCOMPARE(counts.value(QStringLiteral("/b.desktop")).toInteger(),
                 Q_INT64_C(9007199254740994));
        // The largest count stays where it is instead of wrapping round.
        QCOMPARE(counts.value(QStringLiteral("/c.desktop")).toInteger(),
                 std::numeric_limits<qint64>::max());
        QVERIFY(readRaw(sb.preferencesPath()).contains("9007199254740994"));
    }

    void writesKeepOtherKeys() {
        PreferencesStore store = PreferencesStore::standard();
        QVERIFY(store.setValue(QStringLiteral("marvoline.previousDefault.image/png"),
                               QStringLiteral("/apps/viewer.desktop")));
        MainViewController::recordAppUsage(QUrl::fromLocalFile(QStringLiteral("/apps/a.desktop")));
        QVERIFY(store.setValue(QStringLiteral("marvoline.previousDefault.application/pdf"),
                               QStringLiteral("/apps/reader.desktop")));
        QVERIFY(store.update([](QJsonObject& o) { o.insert(QStringLiteral("n"), 5); }));

        const QJsonObject expected{
            {QStringLiteral("marvoline.previousDefault.image/png"),
             QStringLiteral("/apps/viewer.desktop")},
            {QStringLiteral("marvoline.previousDefault.application/pdf"),
             QStringLiteral("/apps/reader.desktop")},
            {MainViewController::appUsageKey, QJsonObject{{QStringLiteral("/apps/a.desktop"), 1}}},
            {QStringLiteral("n"), 5},
        };
        QCOMPARE(parsedFile(sb.preferencesPath()), expected);
        QCOMPARE(store.read(), expected);
        QCOMPARE(store.value(QStringLiteral("n")).toInt(), 5);

        // Removing a key (an undefined value) leaves the others alone.
        QVERIFY(store.setValue(QStringLiteral("n"), QJsonValue(QJsonValue::Undefined)));
        QVERIFY(!store.read().contains(QStringLiteral("n")));
        QCOMPARE(store.read().size(), 3);
    }

    void everyReadReadsTheFile() {
        PreferencesStore store = PreferencesStore::standard();
        QVERIFY(store.read().isEmpty());
        writeRaw(sb.preferencesPath(), R"({"k": "one"})");
        QCOMPARE(store.value(QStringLiteral("k")).toString(), QStringLiteral("one"));
        writeRaw(sb.preferencesPath(), R"({"k": "two"})");
        QCOMPARE(store.value(QStringLiteral("k")).toString(), QStringLiteral("two"));
    }

    void corruptFileIsKeptAside_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("truncated") << QByteArray(R"({"marvoline.appUsage": {"/a.desktop": 3)");
        QTest::newRow("not an object") << QByteArray(R"(["marvoline.appUsage"])");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe garbage\n", 13);
        QTest::newRow("empty") << QByteArray();
    }

    void corruptFileIsKeptAside() {
        QFETCH(QByteArray, contents);
        writeRaw(sb.preferencesPath(), contents);
        PreferencesStore store = PreferencesStore::standard();
        QVERIFY(store.read().isEmpty());
        QVERIFY(store.value(MainViewController::appUsageKey).isUndefined());
        // Reading alone leaves the file where it is.
        QCOMPARE(readRaw(sb.preferencesPath()), contents);
        QVERIFY(corruptCopies(sb.preferencesPath()).isEmpty());

        MainViewController::recordAppUsage(QUrl::fromLocalFile(QStringLiteral("/a.desktop")));
        QCOMPARE(parsedFile(sb.preferencesPath()),
                 (QJsonObject{{MainViewController::appUsageKey,
                               QJsonObject{{QStringLiteral("/a.desktop"), 1}}}}));
        const QStringList copies = corruptCopies(sb.preferencesPath());
        QCOMPARE(copies.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral(R"(^preferences\.json\.corrupt-\d{8}T\d{9}$)"))
                     .match(copies.first())
                     .hasMatch(),
                 qPrintable(copies.first()));
        QCOMPARE(readRaw(prefsFolder() + QLatin1Char('/') + copies.first()), contents);
    }

    void corruptCopiesNeverReplaceEachOther() {
        // Several corrupt files in a row, quicker than the clock's resolution.
        QList<QByteArray> written;
        for (int i = 0; i < 5; ++i) {
            written.append("broken " + QByteArray::number(i));
            writeRaw(sb.preferencesPath(), written.last());
            QVERIFY(PreferencesStore::standard().setValue(QStringLiteral("k"), i));
        }
        const QStringList copies = corruptCopies(sb.preferencesPath());
        QCOMPARE(copies.size(), 5);
        QList<QByteArray> kept;
        for (const QString& name : copies)
            kept.append(readRaw(prefsFolder() + QLatin1Char('/') + name));
        std::sort(kept.begin(), kept.end());
        QCOMPARE(kept, written);
        QCOMPARE(PreferencesStore::standard().value(QStringLiteral("k")).toInt(), 4);
    }

    void blockedFolderLosesTheWrite() {
        // A file where the folder should be: no process, not even root's, can
        // create the folder.
        writeRaw(prefsFolder(), "in the way");
        PreferencesStore store = PreferencesStore::standard();
        QVERIFY(!store.setValue(QStringLiteral("k"), 1));
        QVERIFY(!store.update([](QJsonObject& o) { o.insert(QStringLiteral("k"), 2); }));
        MainViewController::recordAppUsage(QUrl::fromLocalFile(QStringLiteral("/a.desktop")));
        QVERIFY(store.read().isEmpty());
        QCOMPARE(readRaw(prefsFolder()), QByteArray("in the way"));

        // A store without a location reads empty and never writes.
        PreferencesStore nowhere{QString()};
        QVERIFY(nowhere.read().isEmpty());
        QVERIFY(!nowhere.setValue(QStringLiteral("k"), 1));
    }

    void readOnlyFolderLosesTheWrite() {
        if (::geteuid() == 0)
            QSKIP("file permissions do not bind root");
        writeRaw(sb.preferencesPath(), "not json");
        QFile::setPermissions(prefsFolder(), QFile::ReadOwner | QFile::ExeOwner);
        PreferencesStore store = PreferencesStore::standard();
        const bool saved = store.setValue(QStringLiteral("k"), 1);
        MainViewController::recordAppUsage(QUrl::fromLocalFile(QStringLiteral("/a.desktop")));
        QFile::setPermissions(prefsFolder(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(readRaw(sb.preferencesPath()), QByteArray("not json"));
        QVERIFY(corruptCopies(sb.preferencesPath()).isEmpty());
    }

    void lockOfAVanishedProcessIsTakenOver() {
        // A chooser that died while writing leaves its lock behind.
        QProcess gone;
        gone.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo $$")});
        QVERIFY(gone.waitForFinished());
        const QByteArray deadPid = gone.readAllStandardOutput().trimmed();
        QVERIFY(deadPid.toLongLong() > 0);
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        writeRaw(sb.preferencesPath() + QStringLiteral(".lock"),
                 deadPid + "\nmarvoline\n" + QByteArray(host) + '\n');
        QVERIFY(PreferencesStore::standard().setValue(QStringLiteral("k"), 1));
        QCOMPARE(parsedFile(sb.preferencesPath()), (QJsonObject{{QStringLiteral("k"), 1}}));
    }

    void concurrentProcessesLoseNoCount() {
        const QString shared = QStringLiteral("/usr/share/applications/shared.desktop");
        PreferencesStore::standard().setValue(QStringLiteral("kept"), QStringLiteral("yes"));
        QList<QProcess*> counters;
        for (int i = 0; i < 2; ++i) {
            auto* p = new QProcess(this);
            p->setProcessChannelMode(QProcess::ForwardedChannels);
            p->start(QStringLiteral(COUNT_USES_EXECUTABLE), {shared, QStringLiteral("200")});
            counters.append(p);
        }
        for (QProcess* p : counters) {
            QVERIFY(p->waitForFinished(120000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
            delete p;
        }
        const QJsonObject prefs = parsedFile(sb.preferencesPath());
        QCOMPARE(prefs.value(MainViewController::appUsageKey).toObject(),
                 (QJsonObject{{shared, 400}}));
        QCOMPARE(prefs.value(QStringLiteral("kept")).toString(), QStringLiteral("yes"));
        QVERIFY(corruptCopies(sb.preferencesPath()).isEmpty());
    }
};

MARVOLINE_TEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
