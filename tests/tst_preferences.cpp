// The preferences file and the usage counts kept in it.

#include "main/MainViewController.h"
#include "platform/PreferencesStore.h"
#include "platform/ReminderStore.h"
#include "support/RawFiles.h"
#include "support/StoreHazards.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QSet>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using marvoline::MainViewController;
using marvoline::PreferencesStore;
using marvoline::ReminderStore;
using marvoline::StoredReminder;
using marvoline::test::StoreHazard;
using marvoline::test::StoreHazardInPlace;
using namespace Qt::StringLiterals;

namespace {

QJsonObject parsed(const QByteArray& json) {
    return QJsonDocument::fromJson(json).object();
}

// Counts a use and waits until it is written.
void countUse(const QString& app) {
    MainViewController::recordAppUsage(QUrl::fromLocalFile(app));
    QVERIFY(PreferencesStore::waitForBackgroundWrites(std::chrono::seconds(30)));
}

// The number of entries the store at the path reads as, read on a thread of
// its own; -1 when the read has not returned within seconds (a pipe without
// writer is then given one, so that the reader ends).
int entriesReadWithin(const QString& path, bool asReminders) {
    auto read = std::async(std::launch::async, [path, asReminders] {
        return asReminders ? int(ReminderStore(path).reminders().size())
                           : int(PreferencesStore(path).read().size());
    });
    if (read.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return read.get();
    const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        ::close(writer);
    read.wait();
    return -1;
}

} // namespace

Q_DECLARE_METATYPE(StoreHazard)

class TestPreferences final : public QObject {
    Q_OBJECT

public:
    explicit TestPreferences(marvoline::test::XdgSandbox& sandbox)
        : sb(sandbox) {}

private:
    marvoline::test::XdgSandbox& sb;
    marvoline::test::RawFiles raw;

    QString folder() const { return QFileInfo(sb.preferencesPath()).absolutePath(); }
    QJsonObject prefs() const { return parsed(sb.readBytes(sb.preferencesPath())); }
    QJsonObject usage() const { return prefs().value(MainViewController::appUsageKey).toObject(); }
    QStringList corruptCopies() const {
        return QDir(folder()).entryList({u"preferences.json.corrupt-*"_s}, QDir::Files);
    }

private Q_SLOTS:
    void init() {
        // Every case starts without a preferences folder.
        QVERIFY(QDir(folder()).removeRecursively());
    }

    // What one more use of /a.desktop makes of the stored counts.
    void storedCounts_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("after");
        const QByteArray one = R"({"/a.desktop": 1})";
        // What is not a dictionary is replaced; a malformed count is dropped alone.
        const QByteArray four = R"({"/a.desktop": 4, "/c": 7})";
        QTest::newRow("string") << QByteArray(R"("many")") << one;
        for (const char* bad : {R"("5")", "2.5", "1e300", "-1e300", "true", "null", "[1]", "{}"})
            QTest::addRow("value %s", bad)
                << (R"({"/a.desktop": 3, "/b.desktop": )" + QByteArray(bad) + R"(, "/c": 7})")
                << four;
        // The largest count stays instead of wrapping round.
        QTest::newRow("largest") << QByteArray(R"({"/a.desktop": 9223372036854775807})")
                                 << QByteArray(R"({"/a.desktop": 9223372036854775807})");
    }
    void storedCounts() {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, after);
        QVERIFY(raw.write(sb.preferencesPath(),
                          R"({"unrelated": "kept", "marvoline.appUsage": )" + stored + "}"));
        countUse(u"/a.desktop"_s);
        QCOMPARE(usage(), parsed(after));
        QCOMPARE(prefs().value(u"unrelated"_s).toString(), u"kept"_s);
        QVERIFY(corruptCopies().isEmpty());
    }

    void corruptFilesAreKeptAside() {
        // One after the other, quicker than the clock's resolution: no copy replaces another.
        QList<QByteArray> corrupt{R"({"marvoline.appUsage": {"/a.desktop": 3)",
                                  R"(["marvoline.appUsage"])", "\x00\xff\xfe garbage\n"_ba, ""};
        for (qsizetype i = 0; i < corrupt.size(); ++i) {
            QVERIFY(raw.write(sb.preferencesPath(), corrupt.at(i)));
            QVERIFY(PreferencesStore::standard().read().isEmpty());
            // Reading alone leaves the file where it is.
            QCOMPARE(sb.readBytes(sb.preferencesPath()), corrupt.at(i));
            QCOMPARE(corruptCopies().size(), i);
            countUse(u"/a.desktop"_s);
            QCOMPARE(usage(), (QJsonObject{{u"/a.desktop"_s, 1}}));
        }
        QSet<QByteArray> kept;
        for (const QString& name : corruptCopies())
            kept.insert(sb.readBytes(folder() + u'/' + name));
        QVERIFY(kept == QSet<QByteArray>(corrupt.cbegin(), corrupt.cend()));
    }

    void foreignLockHoldsUpNobody() {
        // A fresh lock of a process on another host sharing the home folder: whether that
        // process lives cannot be known, so the lock is waited for, but not by the caller.
        const QString lock = sb.preferencesPath() + u".lock"_s;
        const QByteArray foreign = "4242\nmarvoline\nanother-host.invalid\n";
        QVERIFY(raw.write(lock, foreign));
        const QString app = u"/usr/share/applications/counted.desktop"_s;
        MainViewController::recordAppUsage(QUrl::fromLocalFile(app));
        MainViewController::recordAppUsage(QUrl::fromLocalFile(app));
        // Back at once, before the count could be written.
        QVERIFY(!PreferencesStore::waitForBackgroundWrites(std::chrono::milliseconds(300)));
        QVERIFY(usage().isEmpty());
        QCOMPARE(sb.readBytes(lock), foreign);
        // Once the other host lets go, both counts are written, in order.
        QVERIFY(QFile::remove(lock));
        QVERIFY(PreferencesStore::waitForBackgroundWrites(std::chrono::seconds(30)));
        QCOMPARE(usage(), (QJsonObject{{app, 2}}));
    }

    // A pipe or an oversized file where a store belongs: read at once as
    // empty, and moved aside (kept, as a corrupt file is) by the next write.
    void oddStoreFiles_data() {
        QTest::addColumn<StoreHazard>("hazard");
        QTest::addColumn<bool>("reminders");
        for (const bool reminders : {false, true}) {
            const char* store = reminders ? "reminders" : "preferences";
            QTest::addRow("%s: pipe", store) << StoreHazard::FifoStore << reminders;
            QTest::addRow("%s: past the size limit", store) << StoreHazard::HugeStore << reminders;
        }
    }
    void oddStoreFiles() {
        QFETCH(StoreHazard, hazard);
        QFETCH(bool, reminders);
        const QString path = reminders ? folder() + u"/reminders.json"_s : sb.preferencesPath();
        StoreHazardInPlace odd(hazard, path);
        QVERIFY(odd.isInPlace());
        QCOMPARE(entriesReadWithin(path, reminders), 0);

        const StoredReminder reminder{u"marvoline.later.1.2"_s, u"Reminder"_s, u"a.txt"_s,
                                      QVariantMap{{u"filePath"_s, u"/tmp/a.txt"_s}},
                                      QDateTime::currentDateTimeUtc()};
        QVERIFY(reminders ? ReminderStore(path).add(reminder)
                          : PreferencesStore(path).setValue(u"kept"_s, u"new"_s));
        const QJsonObject written = parsed(sb.readBytes(path));
        QCOMPARE(written.keys(),
                 QStringList{reminders ? reminder.identifier : QStringLiteral("kept")});
        const QString name = QFileInfo(path).fileName();
        const QStringList aside =
            QDir(folder()).entryList({name + u".corrupt-*"_s}, QDir::AllEntries | QDir::System);
        QCOMPARE(aside.size(), 1);
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(folder() + u'/' + aside.first()).constData(), &st), 0);
        if (hazard == StoreHazard::FifoStore)
            QVERIFY(S_ISFIFO(st.st_mode));
        else
            QVERIFY(st.st_size > PreferencesStore::maxFileSize);
    }

    // A lock that stays (a fresh one of another host, a folder in its place):
    // the write is given up after the lock's wait and said to be lost, the
    // asking thread runs on meanwhile, and the store and the lock stay as
    // they were.
    void writeGivenUpOnAHeldLock_data() {
        QTest::addColumn<StoreHazard>("hazard");
        QTest::newRow("fresh foreign lock") << StoreHazard::FreshForeignLock;
        QTest::newRow("lock folder") << StoreHazard::LockFolder;
    }
    void writeGivenUpOnAHeldLock() {
        QFETCH(StoreHazard, hazard);
        PreferencesStore store(sb.preferencesPath());
        QVERIFY(store.setValue(u"kept"_s, u"old"_s));
        const QByteArray before = sb.readBytes(sb.preferencesPath());
        StoreHazardInPlace lock(hazard, sb.preferencesPath());
        QVERIFY(lock.isInPlace());
        QObject receiver;
        QList<bool> outcomes;
        marvoline::test::EventLoopProbe probe;
        store.updateInBackground([](QJsonObject& prefs) { prefs.insert(u"kept"_s, u"new"_s); },
                                 &receiver, [&](bool saved) { outcomes.append(saved); });
        const auto waited = std::chrono::milliseconds(PreferencesStore::lockWaitTime).count();
        QTRY_VERIFY_WITH_TIMEOUT(!outcomes.isEmpty(), int(waited) + 5000);
        QCOMPARE(outcomes, QList<bool>{false});
        // Never held up for long (a second, with room for a busy machine).
        QVERIFY2(probe.longestGapMs() < 2000, qPrintable(QString::number(probe.longestGapMs())));
        QCOMPARE(sb.readBytes(sb.preferencesPath()), before);
        QVERIFY(QFileInfo(sb.preferencesPath() + u".lock"_s).exists());
    }

    void concurrentProcessesLoseNoCount() {
        const QString shared = u"/usr/share/applications/shared.desktop"_s;
        PreferencesStore::standard().setValue(u"kept"_s, u"yes"_s);
        QProcess counters[2];
        for (QProcess& p : counters) {
            p.setProcessChannelMode(QProcess::ForwardedChannels);
            p.start(QStringLiteral(COUNT_USES_EXECUTABLE), {shared, u"200"_s});
        }
        for (QProcess& p : counters) {
            QVERIFY(p.waitForFinished(120000));
            QCOMPARE(p.exitCode(), 0);
        }
        QCOMPARE(usage(), (QJsonObject{{shared, 400}}));
        QCOMPARE(prefs().value(u"kept"_s).toString(), u"yes"_s);
    }
};

MARVOLINE_TEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
