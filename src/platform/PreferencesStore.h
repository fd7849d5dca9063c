#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <chrono>
#include <functional>

namespace marvoline {

// The user's preferences: one JSON object in a file, keyed by the persisted
// keys ("marvoline.appUsage", ...). Every read reads the file afresh; every
// write is a locked read-modify-write saved atomically, so several processes
// writing at once lose nothing. A file that cannot be parsed reads as empty and
// is moved aside ("<name>.corrupt-<time>") before the next write replaces it.
// A write that cannot be saved is dropped; callers never see a failure.
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
    // caller. Writes are made one after the other, in the order asked.
    void updateInBackground(std::function<void(QJsonObject&)> change);

    // Waits until the background writes asked for so far have been made or
    // given up (each waits for the lock at most lockWaitTime), or until
    // timeout has passed; true when none is left.
    static bool waitForBackgroundWrites(std::chrono::milliseconds timeout);

    // How long a write waits for the lock before it is given up.
    static constexpr std::chrono::seconds lockWaitTime{10};

private:
    QString m_filePath;
};

} // namespace marvoline
