#include "platform/PreferencesStore.h"

#include "platform/FileContents.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLockFile>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>

#include <chrono>
#include <utility>

namespace marvoline {

namespace {

using namespace std::chrono_literals;

// A write holds the lock for a few milliseconds. A lock older than this was
// left by a process that hangs or by one on another host sharing the home
// folder; a lock of a process that died is taken over at once by QLockFile.
constexpr auto staleLockTime = 10s;

enum class FileState { Missing, Valid, Corrupt, Unreadable };

struct Contents {
    FileState state = FileState::Missing;
    QJsonObject object;
};

Contents load(const QString& path) {
    if (path.isEmpty())
        return {};
    const WholeFile file =
        readWholeRegularFile(QFile::encodeName(path), PreferencesStore::maxFileSize);
    switch (file.state) {
    case WholeFile::State::Read:
        break;
    case WholeFile::State::Missing:
        return {};
    case WholeFile::State::NotRegular:
    case WholeFile::State::TooLarge:
        // Not a store this program wrote: kept, but out of the way.
        return {FileState::Corrupt, {}};
    case WholeFile::State::Unreadable:
        return {FileState::Unreadable, {}};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {FileState::Corrupt, {}};
    return {FileState::Valid, doc.object()};
}

// Moves a file that cannot be parsed out of the way, to a name that no earlier
// copy has, so that its contents survive the next write.
bool moveAside(const QString& path) {
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddTHHmmsszzz"));
    const QString base = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 0; n < 1000; ++n) {
        const QString target = n == 0 ? base : base + QLatin1Char('-') + QString::number(n);
        if (QFileInfo::exists(target))
            continue;
        // QFile::rename never replaces an existing file.
        return QFile::rename(path, target);
    }
    return false;
}

bool save(const QString& path, const QJsonObject& object) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The one writer thread of the process. Never destroyed: a write still
// waiting for a lock when the process ends is abandoned with it.
QThreadPool& writer() {
    static QThreadPool* const pool = [] {
        auto* threads = new QThreadPool;
        threads->setMaxThreadCount(1);
        return threads;
    }();
    return *pool;
}

} // namespace

PreferencesStore::PreferencesStore(QString filePath)
    : m_filePath(std::move(filePath)) {}

PreferencesStore PreferencesStore::standard() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        return PreferencesStore(QString());
    return PreferencesStore(folder + QStringLiteral("/marvoline/preferences.json"));
}

QJsonObject PreferencesStore::read() const {
    return load(m_filePath).object;
}

QJsonValue PreferencesStore::value(const QString& key) const {
    return read().value(key);
}

bool PreferencesStore::setValue(const QString& key, const QJsonValue& value) {
    return update([&](QJsonObject& object) {
        if (value.isUndefined())
            object.remove(key);
        else
            object.insert(key, value);
    });
}

bool PreferencesStore::update(const std::function<void(QJsonObject&)>& change) {
    if (m_filePath.isEmpty())
        return false;
    const QFileInfo info(m_filePath);
    if (!QDir().mkpath(info.absolutePath()))
        return false;

    QLockFile lock(m_filePath + QStringLiteral(".lock"));
    lock.setStaleLockTime(staleLockTime);
    if (!lock.tryLock(std::chrono::milliseconds(lockWaitTime)))
        return false;

    Contents current = load(m_filePath);
    switch (current.state) {
    case FileState::Missing:
    case FileState::Valid:
        break;
    case FileState::Corrupt:
        if (!moveAside(m_filePath))
            return false;
        break;
    case FileState::Unreadable:
        // Whatever is in there cannot be kept: leave it alone.
        return false;
    }

    change(current.object);
    return save(m_filePath, current.object);
}

void PreferencesStore::updateInBackground(std::function<void(QJsonObject&)> change,
                                          QObject* context, std::function<void(bool)> done) {
    runInBackground(
        [store = *this, change = std::move(change)]() mutable { return store.update(change); },
        context, std::move(done));
}

void PreferencesStore::runInBackground(std::function<bool()> work, QObject* context,
                                       std::function<void(bool)> done) {
    QPointer<QObject> receiver(context);
    const bool answer = context && done;
    writer().start([work = std::move(work), receiver, answer, done = std::move(done)] {
        const bool ok = work();
        if (!answer)
            return;
        // The receiver may go meanwhile on its own thread: it is looked at only
        // there, by way of the application object that outlives it.
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [receiver, done, ok] {
                if (receiver)
                    done(ok);
            },
            Qt::QueuedConnection);
    });
}

bool PreferencesStore::waitForBackgroundWrites(std::chrono::milliseconds timeout) {
    return writer().waitForDone(int(timeout.count()));
}

} // namespace marvoline
