#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTimer>

#include <algorithm>

#include <sys/stat.h>

namespace marvoline::test {

// What may stand where a store or its lock belongs, put there by another
// process, another host sharing the home folder, or an accident.
enum class StoreHazard {
    FreshForeignLock, // a lock of a process on another host, kept fresh while it lasts
    LockFolder,       // a folder where the lock file belongs
    FifoStore,        // a named pipe with no writer instead of the store
    HugeStore,        // a well-formed store just past the size any store is read up to
};

// Puts the hazard in place for the store at storePath while it lives, and
// removes it again.
class StoreHazardInPlace {
public:
    StoreHazardInPlace(StoreHazard hazard, const QString& storePath)
        : m_hazard(hazard)
        , m_store(storePath)
        , m_lock(storePath + QStringLiteral(".lock")) {
        QDir().mkpath(QFileInfo(storePath).absolutePath());
        switch (hazard) {
        case StoreHazard::FreshForeignLock: {
            QFile lock(m_lock);
            m_ok = lock.open(QIODevice::WriteOnly) &&
                   lock.write("4242\nmarvoline\nanother-host.invalid\n") > 0;
            lock.close();
            // The other host keeps it fresh, so it never counts as stale.
            QObject::connect(&m_refresh, &QTimer::timeout, [this] {
                QFile held(m_lock);
                if (held.open(QIODevice::ReadWrite))
                    held.setFileTime(QDateTime::currentDateTime(),
                                     QFileDevice::FileModificationTime);
            });
            m_refresh.start(1000);
            break;
        }
        case StoreHazard::LockFolder:
            m_ok = QDir().mkpath(m_lock);
            break;
        case StoreHazard::FifoStore:
            m_ok = ::mkfifo(QFile::encodeName(storePath).constData(), 0600) == 0;
            break;
        case StoreHazard::HugeStore: {
            // Well-formed, so that only its size can keep it from being read.
            QFile store(storePath);
            const QByteArray text = "{\"x\": \"" + QByteArray(17 * 1024 * 1024, 'a') + "\"}";
            m_ok = store.open(QIODevice::WriteOnly) && store.write(text) == text.size();
            break;
        }
        }
    }
    ~StoreHazardInPlace() { clear(); }
    StoreHazardInPlace(const StoreHazardInPlace&) = delete;
    StoreHazardInPlace& operator=(const StoreHazardInPlace&) = delete;

    bool isInPlace() const { return m_ok; }
    // Whether the hazard stands in for the store itself (rather than its lock).
    bool replacesStore() const {
        return m_hazard == StoreHazard::FifoStore || m_hazard == StoreHazard::HugeStore;
    }

    // The other process lets go (a hazard to the store itself is left for the
    // program to move aside).
    void clear() {
        m_refresh.stop();
        if (m_hazard == StoreHazard::FreshForeignLock)
            QFile::remove(m_lock);
        if (m_hazard == StoreHazard::LockFolder)
            QDir().rmdir(m_lock);
    }

private:
    StoreHazard m_hazard;
    QString m_store;
    QString m_lock;
    QTimer m_refresh;
    bool m_ok = false;
};

// Watches the event loop of this thread through a 100 ms timer: the longest
// time between two of its ticks is how long the thread was held up at most.
class EventLoopProbe {
public:
    EventLoopProbe() {
        m_since.start();
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_timer.start(100);
    }
    // Up to now, also the time since the last tick.
    qint64 longestGapMs() const { return std::max(m_longest, m_since.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

} // namespace marvoline::test
