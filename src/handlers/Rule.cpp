#include "handlers/Rule.h"

#include <QFile>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <array>
#include <utility>

namespace marvoline {

namespace {

const QString idKey = QStringLiteral("id");
const QString typeKey = QStringLiteral("type");
const QString patternKey = QStringLiteral("pattern");
const QString folderKey = QStringLiteral("folder");
const QString outcomeKey = QStringLiteral("outcome");
const QString applicationKey = QStringLiteral("application");

constexpr std::array<std::pair<RuleOutcome, const char*>, 3> outcomeNames{{
    {RuleOutcome::OpenAtOnce, "open"},
    {RuleOutcome::StartCountdown, "countdown"},
    {RuleOutcome::ShowWithoutCountdown, "show"},
}};

// A folder whose name is not UTF-8 is kept as its bytes, in base64 under
// this key, as the reminder store keeps such paths.
const QString folderBytesKey = QStringLiteral("base64");

QJsonValue folderToJson(const QByteArray& folder) {
    const QString text = QFile::decodeName(folder);
    if (QFile::encodeName(text) == folder)
        return text;
    return QJsonObject{{folderBytesKey, QString::fromLatin1(folder.toBase64())}};
}

QByteArray folderFromJson(const QJsonValue& value) {
    if (value.isObject())
        return QByteArray::fromBase64(value.toObject().value(folderBytesKey).toString().toLatin1());
    return QFile::encodeName(value.toString());
}

QList<QByteArray> components(const QByteArray& path) {
    QList<QByteArray> parts;
    for (const QByteArray& part : path.split('/')) {
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts;
}

} // namespace

bool isInsideFolder(const QByteArray& path, const QByteArray& folder) {
    if (!path.startsWith('/') || !folder.startsWith('/'))
        return false;
    const QList<QByteArray> inner = components(path);
    const QList<QByteArray> outer = components(folder);
    if (inner.size() <= outer.size())
        return false;
    for (qsizetype i = 0; i < outer.size(); ++i) {
        if (inner.at(i) != outer.at(i))
            return false;
    }
    return true;
}

bool nameMatches(const QByteArray& path, const QString& pattern) {
    const QString name = QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
    // A name holds no "/", so a path glob works as a name glob.
    const QRegularExpression glob(QRegularExpression::wildcardToRegularExpression(pattern),
                                  QRegularExpression::CaseInsensitiveOption);
    return glob.isValid() && glob.match(name).hasMatch();
}

bool ruleHolds(const Rule& rule, const RuleFile& file) {
    if (!rule.hasCondition())
        return false;
    if (rule.type && file.type != rule.type)
        return false;
    if (!rule.pattern.isEmpty() && !nameMatches(file.path, rule.pattern))
        return false;
    if (!rule.folder.isEmpty() && !isInsideFolder(file.path, rule.folder))
        return false;
    return true;
}

std::optional<qsizetype> decidingRule(const QList<Rule>& rules, const QList<RuleFile>& files,
                                      const std::function<bool(const QString&)>& isInstalled) {
    if (files.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < rules.size(); ++i) {
        const Rule& rule = rules.at(i);
        const bool holds = std::all_of(files.begin(), files.end(),
                                       [&](const RuleFile& file) { return ruleHolds(rule, file); });
        if (!holds)
            continue;
        // A rule whose application has gone gives way to the next.
        if (rule.needsApplication() && !isInstalled(rule.application))
            continue;
        return i;
    }
    return std::nullopt;
}

QJsonObject ruleToJson(const Rule& rule) {
    QJsonObject object{{idKey, rule.id}};
    if (rule.type)
        object.insert(typeKey, *rule.type);
    if (!rule.pattern.isEmpty())
        object.insert(patternKey, rule.pattern);
    if (!rule.folder.isEmpty())
        object.insert(folderKey, folderToJson(rule.folder));
    for (const auto& [outcome, name] : outcomeNames) {
        if (outcome == rule.outcome)
            object.insert(outcomeKey, QLatin1String(name));
    }
    if (rule.needsApplication())
        object.insert(applicationKey, rule.application);
    return object;
}

std::optional<Rule> ruleFromJson(const QJsonObject& object) {
    Rule rule;
    rule.id = object.value(idKey).toString();
    if (const QJsonValue type = object.value(typeKey);
        type.isString() && !type.toString().isEmpty())
        rule.type = type.toString();
    rule.pattern = object.value(patternKey).toString();
    rule.folder = folderFromJson(object.value(folderKey));
    if (!rule.folder.isEmpty() && !rule.folder.startsWith('/'))
        return std::nullopt;
    const QString outcome = object.value(outcomeKey).toString();
    bool known = false;
    for (const auto& [value, name] : outcomeNames) {
        if (outcome == QLatin1String(name)) {
            rule.outcome = value;
            known = true;
        }
    }
    if (rule.needsApplication())
        rule.application = object.value(applicationKey).toString();
    if (!known || rule.id.isEmpty() || !rule.hasCondition() ||
        (rule.needsApplication() && rule.application.isEmpty()))
        return std::nullopt;
    return rule;
}

QString newRuleId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString patternForName(const QByteArray& path) {
    const QString name = QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts a hidden name, not an extension.
    if (dot <= 0 || dot == name.size() - 1)
        return QStringLiteral("*");
    return QStringLiteral("*") + name.mid(dot).toLower();
}

QString describeRule(const Rule& rule, const std::function<QString(const QString&)>& typeName,
                     const std::function<QString(const QString&)>& appName) {
    QStringList parts;
    if (rule.type)
        //% "of type %1"
        parts.append(qtTrId("ui.rule.ofType").arg(typeName(*rule.type)));
    if (!rule.pattern.isEmpty())
        //% "named %1"
        parts.append(qtTrId("ui.rule.named").arg(rule.pattern));
    if (!rule.folder.isEmpty())
        //% "in %1"
        parts.append(qtTrId("ui.rule.inFolder").arg(QFile::decodeName(rule.folder)));
    //% "Files %1"
    const QString condition = qtTrId("ui.rule.files").arg(parts.join(QLatin1Char(' ')));
    QString outcome;
    switch (rule.outcome) {
    case RuleOutcome::OpenAtOnce:
        //% "open with %1 at once"
        outcome = qtTrId("ui.rule.openAtOnce").arg(appName(rule.application));
        break;
    case RuleOutcome::StartCountdown:
        //% "count down to %1"
        outcome = qtTrId("ui.rule.countdown").arg(appName(rule.application));
        break;
    case RuleOutcome::ShowWithoutCountdown:
        //% "show the chooser without a countdown"
        outcome = qtTrId("ui.rule.showOnly");
        break;
    }
    //% "%1: %2"
    return qtTrId("ui.rule.line").arg(condition, outcome);
}

} // namespace marvoline
