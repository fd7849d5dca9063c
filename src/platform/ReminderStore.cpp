#include "platform/ReminderStore.h"

#include "platform/PreferencesStore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>

#include <algorithm>

namespace marvoline {

namespace {

const QString titleKey = QStringLiteral("title");
const QString bodyKey = QStringLiteral("body");
const QString userInfoKey = QStringLiteral("userInfo");
const QString dueKey = QStringLiteral("due");
// A byte-array value (a file name that is not UTF-8) is kept as base64 in an
// object of its own, so that it comes back as the same bytes.
const QString bytesKey = QStringLiteral("base64");

QJsonObject userInfoToJson(const QVariantMap& userInfo) {
    QJsonObject object;
    for (auto it = userInfo.begin(); it != userInfo.end(); ++it) {
        if (it.value().typeId() == QMetaType::QByteArray)
            object.insert(
                it.key(),
                QJsonObject{{bytesKey, QString::fromLatin1(it.value().toByteArray().toBase64())}});
        else if (it.value().typeId() == QMetaType::QString)
            object.insert(it.key(), it.value().toString());
    }
    return object;
}

QVariantMap userInfoFromJson(const QJsonObject& object) {
    QVariantMap userInfo;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString()) {
            userInfo.insert(it.key(), it.value().toString());
        } else if (it.value().isObject() && it.value().toObject().value(bytesKey).isString()) {
            const QString encoded = it.value().toObject().value(bytesKey).toString();
            userInfo.insert(it.key(), QByteArray::fromBase64(encoded.toLatin1()));
        }
    }
    return userInfo;
}

std::optional<StoredReminder> reminderFromJson(const QString& identifier, const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    StoredReminder reminder;
    reminder.identifier = identifier;
    reminder.title = object.value(titleKey).toString();
    reminder.body = object.value(bodyKey).toString();
    reminder.userInfo = userInfoFromJson(object.value(userInfoKey).toObject());
    reminder.due = QDateTime::fromString(object.value(dueKey).toString(), Qt::ISODateWithMs);
    if (!reminder.due.isValid())
        return std::nullopt;
    reminder.due = reminder.due.toUTC();
    return reminder;
}

QJsonObject reminderToJson(const StoredReminder& reminder) {
    return QJsonObject{{titleKey, reminder.title},
                       {bodyKey, reminder.body},
                       {userInfoKey, userInfoToJson(reminder.userInfo)},
                       {dueKey, reminder.due.toUTC().toString(Qt::ISODateWithMs)}};
}

} // namespace

ReminderStore::ReminderStore(QString filePath)
    : m_filePath(std::move(filePath)) {}

ReminderStore ReminderStore::standard() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return ReminderStore(state + QStringLiteral("/marvoline/reminders.json"));
}

bool ReminderStore::isWritable() const {
    if (m_filePath.isEmpty())
        return false;
    const QFileInfo file(m_filePath);
    if (!QDir().mkpath(file.absolutePath()))
        return false;
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir() || !folder.isWritable())
        return false;
    if (!file.exists() || file.isSymLink())
        return true;
    if (file.isDir())
        return false;
    // A pipe or device in its place is moved aside by the write.
    return !file.isFile() || file.isWritable();
}

QList<StoredReminder> ReminderStore::reminders() const {
    const QJsonObject all = PreferencesStore(m_filePath).read();
    QList<StoredReminder> list;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (auto reminder = reminderFromJson(it.key(), it.value()))
            list.append(*reminder);
    }
    std::stable_sort(
        list.begin(), list.end(),
        [](const StoredReminder& a, const StoredReminder& b) { return a.due < b.due; });
    return list;
}

std::optional<StoredReminder> ReminderStore::reminder(const QString& identifier) const {
    return reminderFromJson(identifier, PreferencesStore(m_filePath).read().value(identifier));
}

bool ReminderStore::add(const StoredReminder& reminder) {
    return add(QList<StoredReminder>{reminder});
}

bool ReminderStore::add(const QList<StoredReminder>& reminders) {
    if (reminders.isEmpty())
        return false;
    for (const StoredReminder& reminder : reminders) {
        if (reminder.identifier.isEmpty() || !reminder.due.isValid())
            return false;
    }
    return PreferencesStore(m_filePath).update([&](QJsonObject& all) {
        for (const StoredReminder& reminder : reminders)
            all.insert(reminder.identifier, reminderToJson(reminder));
    });
}

bool ReminderStore::remove(const QString& identifier) {
    return remove(QStringList{identifier});
}

bool ReminderStore::remove(const QStringList& identifiers) {
    return PreferencesStore(m_filePath).update([&](QJsonObject& all) {
        for (const QString& identifier : identifiers)
            all.remove(identifier);
    });
}

} // namespace marvoline
