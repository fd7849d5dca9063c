#include "platform/RuleStore.h"

#include "platform/PreferencesStore.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>

namespace marvoline {

namespace {

const QString versionKey = QStringLiteral("version");
const QString rulesKey = QStringLiteral("rules");

// Whether this program may write the file's contents back.
bool isWritableFormat(const QJsonObject& object) {
    if (object.value(versionKey).toInt(RuleStore::formatVersion) > RuleStore::formatVersion)
        return false;
    const QJsonValue list = object.value(rulesKey);
    return list.isUndefined() || list.isArray();
}

qsizetype indexOfRule(const QJsonArray& list, const QString& id) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).toObject().value(QStringLiteral("id")).toString() == id)
            return i;
    }
    return -1;
}

} // namespace

RuleStore::RuleStore(QString filePath)
    : m_filePath(std::move(filePath)) {}

RuleStore RuleStore::standard() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        return RuleStore(QString());
    return RuleStore(folder + QStringLiteral("/marvoline/rules.json"));
}

QList<Rule> RuleStore::rules() const {
    QList<Rule> rules;
    const QJsonArray list = PreferencesStore(m_filePath).read().value(rulesKey).toArray();
    for (const QJsonValue& entry : list) {
        if (const std::optional<Rule> rule = ruleFromJson(entry.toObject()))
            rules.append(*rule);
    }
    return rules;
}

namespace {

// Changes the list under the lock; false when the file may not be written or
// change found nothing to do.
bool changeList(const QString& path, const std::function<bool(QJsonArray&)>& change) {
    PreferencesStore store(path);
    if (!isWritableFormat(store.read()))
        return false;
    bool changed = false;
    const bool saved = store.update([&](QJsonObject& object) {
        // Looked at again under the lock: another program may have written it.
        if (!isWritableFormat(object))
            return;
        QJsonArray list = object.value(rulesKey).toArray();
        changed = change(list);
        object.insert(versionKey, RuleStore::formatVersion);
        object.insert(rulesKey, list);
    });
    return saved && changed;
}

} // namespace

bool RuleStore::add(const Rule& rule) {
    if (rule.id.isEmpty() || !rule.hasCondition() ||
        (rule.needsApplication() && rule.application.isEmpty()))
        return false;
    return changeList(m_filePath, [&](QJsonArray& list) {
        list.append(ruleToJson(rule));
        return true;
    });
}

bool RuleStore::remove(const QString& id) {
    return changeList(m_filePath, [&](QJsonArray& list) {
        const qsizetype index = indexOfRule(list, id);
        if (index < 0)
            return false;
        list.removeAt(index);
        return true;
    });
}

bool RuleStore::move(const QString& id, int offset) {
    return changeList(m_filePath, [&](QJsonArray& list) {
        const qsizetype from = indexOfRule(list, id);
        if (from < 0)
            return false;
        const qsizetype to = std::clamp<qsizetype>(from + offset, 0, list.size() - 1);
        if (to == from)
            return false;
        const QJsonValue entry = list.takeAt(from);
        list.insert(to, entry);
        return true;
    });
}

void RuleStore::changeInBackground(std::function<bool(RuleStore&)> change, QObject* context,
                                   std::function<void(bool)> done) {
    PreferencesStore::runInBackground(
        [store = *this, change = std::move(change)]() mutable { return change(store); }, context,
        std::move(done));
}

} // namespace marvoline
