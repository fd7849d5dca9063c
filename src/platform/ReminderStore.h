#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace marvoline {

// A scheduled reminder as the store keeps it until the user has answered or
// dismissed it.
struct StoredReminder {
    QString identifier;
    QString title;
    QString body;
    QVariantMap userInfo; // string and byte-array values
    QDateTime due;        // UTC
};

// The reminders that outlive the chooser: one JSON file shared by the chooser
// that adds them and the reminder agent that shows them. Writes are locked and
// atomic; a file that cannot be parsed, that is not a regular file or that is
// past PreferencesStore::maxFileSize reads as empty and is moved aside
// ("<name>.corrupt-<time>") before the next write, never overwritten. Every
// call may wait for the lock: the chooser's window never makes one.
class ReminderStore {
public:
    explicit ReminderStore(QString filePath);

    // $XDG_STATE_HOME/marvoline/reminders.json ($HOME/.local/state when the
    // variable is unset or not absolute), looked up at each call.
    static ReminderStore standard();

    const QString& filePath() const { return m_filePath; }

    // Whether a write can succeed: the folder exists or can be made, and the
    // folder and the file (if any) are writable.
    bool isWritable() const;

    // Every stored reminder, soonest first; entries that are not reminders are
    // skipped.
    QList<StoredReminder> reminders() const;
    std::optional<StoredReminder> reminder(const QString& identifier) const;

    // Each returns whether the change was saved. Several reminders are added
    // in one write: all of them or none. A reminder without identifier or due
    // time is refused, and the others with it.
    bool add(const StoredReminder& reminder);
    bool add(const QList<StoredReminder>& reminders);
    bool remove(const QString& identifier);
    bool remove(const QStringList& identifiers);

private:
    QString m_filePath;
};

} // namespace marvoline
