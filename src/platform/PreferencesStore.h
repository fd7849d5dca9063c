#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

namespace marvoline {

// The user's preferences: one JSON object in a file, keyed by the persisted
// keys ("marvoline.appUsage", ...). Every read reads the file afresh; every
// write is a locked read-modify-write saved atomically, so several processes
// writing at once lose nothing. Reading never blocks on what is not a regular
// file and never reads more than maxFileSize. A file that cannot be parsed, a
// pipe or device, or a file past maxFileSize reads as empty and is moved aside
// ("<name>.corrupt-<time>") before the next write replaces it.
//
// The window's thread neither reads nor writes a store that another process may
// hold locked: it hands the work to the writer thread (updateInBackground,
// runInBackground) and hears the outcome back.
class PreferencesStore {
public:
    explicit PreferencesStore(QString filePath);

    // $XDG_CONFIG_HOME/marvoline/preferences.json, looked up at each call.
    static PreferencesStore standard();

    const QString& filePath() const { return m_filePath; }

    QJsonObject read() const;
    QJsonValue value(const QString& key) const;
    // Returns whether the change was saved.
    bool setValue(const QString& key, const QJsonValue& value);
    // Runs change on the current contents under the lock and saves the result.
    bool update(const std::function<void(QJsonObject&)>& change);
    // The same on the store's writer thread: returns at once, so that a lock
    // held elsewhere (another host sharing the home folder) never holds up the
    // caller. Writes are made one after the other, in the order asked. done,
    // when given, then runs on context's thread, told whether the change was
    // saved; not at all once context is gone.
    void updateInBackground(std::function<void(QJsonObject&)> change, QObject* context = nullptr,
                            std::function<void(bool saved)> done = {});
    // Runs work on the writer thread after every write asked for before it,
    // then done (when given) on context's thread with work's result.
    static void runInBackground(std::function<bool()> work, QObject* context = nullptr,
                                std::function<void(bool ok)> done = {});

    // Waits until the background writes asked for so far have been made or
    // given up (each waits for the lock at most lockWaitTime), or until
    // timeout has passed; true when none is left.
    static bool waitForBackgroundWrites(std::chrono::milliseconds timeout);

    // How long a write waits for the lock before it is given up.
    static constexpr std::chrono::seconds lockWaitTime{10};
    // A store larger than this is not read: no preference or reminder list
    // comes near it.
    static constexpr qint64 maxFileSize = 16 * 1024 * 1024;

private:
    QString m_filePath;
};

} // namespace marvoline
