#pragma once

#include "handlers/Rule.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace marvoline {

// The user's rules, in the order they are tried: one JSON file,
// {"version": 1, "rules": [...]}, kept the way the preferences are (see
// PreferencesStore): every change is a locked read-modify-write saved
// atomically, so two processes editing rules at once lose none; a file that
// cannot be parsed reads as no rules and is moved aside before the next write,
// never overwritten. A file of a newer format, or whose list is not a list, is
// read for the rules this program knows and never written. Entries this
// program cannot read stay in the file as they are.
class RuleStore {
public:
    static constexpr int formatVersion = 1;

    explicit RuleStore(QString filePath);

    // $XDG_CONFIG_HOME/marvoline/rules.json, looked up at each call.
    static RuleStore standard();

    const QString& filePath() const { return m_filePath; }

    QList<Rule> rules() const;

    // Each returns whether the change was saved; may wait for the lock.
    bool add(const Rule& rule);
    bool remove(const QString& id);
    // Moves the rule by offset places (negative: earlier), within the list.
    bool move(const QString& id, int offset);

    // Runs change on the preferences writer thread, after the writes asked
    // for before it; then done on context's thread, told whether it was saved.
    void changeInBackground(std::function<bool(RuleStore&)> change, QObject* context,
                            std::function<void(bool saved)> done);

private:
    QString m_filePath;
};

} // namespace marvoline
