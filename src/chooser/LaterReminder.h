#pragma once

#include "platform/NotificationCenter.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

namespace marvoline {

// The decisions behind the Later menu, as functions over values.

// Delay tags of the Later menu: a positive tag is a number of minutes.
constexpr int laterTitleTag = 0;
constexpr int laterTenSecondsTag = -10;
constexpr int laterTomorrowTag = -1;
constexpr int laterCustomTag = -2;

// The minutes typed into the custom delay dialog: an optional sign followed by
// base-10 digits and nothing else ("+15" is 15). Absent for anything else, for
// zero or less, and for counts whose seconds do not fit in a signed 64-bit
// integer.
std::optional<qint64> parseCustomDelayMinutes(const QString& text);

// The trigger of a delay tag chosen at now (local time zone): -10 is ten
// seconds, -1 the next local day at 09:00, n > 0 is n minutes. Absent for the
// other tags.
std::optional<NotificationTrigger> laterTrigger(int tag, const QDateTime& now);
// The trigger of a custom delay.
NotificationTrigger laterTriggerForMinutes(qint64 minutes);

// "marvoline.later.<hash of path>.<seconds since 1970>", the seconds as the
// shortest decimal text that reads back as the same double.
QString laterNotificationIdentifier(const QByteArray& path, double secondsSince1970);

// The reminder for a file: title, the file's name as body, and user
// information holding only the file's path under "filePath" (a string, or the
// path's bytes when they are not UTF-8).
NotificationRequest laterNotificationRequest(const QUrl& fileURL,
                                             const NotificationTrigger& trigger,
                                             double secondsSince1970);

// Seconds since 1970 now, with sub-second precision.
double currentSecondsSince1970();

} // namespace marvoline
