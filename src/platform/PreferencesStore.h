#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

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

private:
    QString m_filePath;
};

} // namespace marvoline
