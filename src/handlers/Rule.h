#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace marvoline {

// What a rule does with files its condition holds for.
enum class RuleOutcome {
    OpenAtOnce,          // hands the files to the application; no chooser
    StartCountdown,      // the chooser counts down to the application
    ShowWithoutCountdown // the chooser, with no countdown
};

// A rule of the user's: a condition made of one to three parts, each of which
// must hold for every file, and what happens then. Every part left empty holds.
struct Rule {
    QString id;                  // stays the same across edits of the list
    std::optional<QString> type; // a canonical MIME type, compared exactly
    QString pattern;             // a shell glob on the file's name, any case
    QByteArray folder;           // canonical; the file is inside it or below
    RuleOutcome outcome = RuleOutcome::ShowWithoutCountdown;
    QString application; // desktop file ID; empty for ShowWithoutCountdown

    bool hasCondition() const { return type || !pattern.isEmpty() || !folder.isEmpty(); }
    // Whether the outcome names the application it needs.
    bool needsApplication() const { return outcome != RuleOutcome::ShowWithoutCountdown; }
    bool operator==(const Rule&) const = default;
};

// What the conditions look at in a file.
struct RuleFile {
    QByteArray path;             // canonical when it exists
    std::optional<QString> type; // its content type, when a rule asks for it
};

// Whether path lies inside folder or below it, compared by path components
// ("/a/b" holds "/a/b/c" but not "/a/bc" nor "/a/b" itself).
bool isInsideFolder(const QByteArray& path, const QByteArray& folder);
// Whether the file name (the path's last component) matches the glob, in any case.
bool nameMatches(const QByteArray& path, const QString& pattern);
bool ruleHolds(const Rule& rule, const RuleFile& file);

// The index of the first rule whose condition holds for every file and whose
// application, when it needs one, is installed; absent when none decides.
std::optional<qsizetype> decidingRule(const QList<Rule>& rules, const QList<RuleFile>& files,
                                      const std::function<bool(const QString&)>& isInstalled);

// The stored form; a rule read back is absent when its entry is not one this
// program wrote (no identifier, no condition, an unknown outcome, no
// application where it needs one).
QJsonObject ruleToJson(const Rule& rule);
std::optional<Rule> ruleFromJson(const QJsonObject& object);

// A new rule's identifier.
QString newRuleId();

// The glob that a name condition starts from: "*.pdf" for "report.PDF"; "*"
// when the name has no extension.
QString patternForName(const QByteArray& path);

// The rule in words, one line: "Files of type PDF document named *.pdf:
// open with Viewer at once". typeName and appName give the type's own words and
// the application's shown name (each falls back to what it is given).
QString describeRule(const Rule& rule, const std::function<QString(const QString&)>& typeName,
                     const std::function<QString(const QString&)>& appName);

} // namespace marvoline
