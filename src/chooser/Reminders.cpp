// Reminder scheduling: turns a choice of the Later menu into a scheduled
// notification for each file on show.
#include "chooser/LaterReminder.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"

#include <QLabel>
#include <QPointer>

#include <charconv>
#include <chrono>

namespace marvoline {

namespace {

using namespace std::chrono_literals;

constexpr auto tenSeconds = 10s;
constexpr auto secondsPerMinute = std::chrono::seconds(1min).count();
// The next day's reminder comes at this local time.
const QTime morning(9, 0);

bool isUtf8(const QByteArray& bytes) {
    // Invalid sequences decode to U+FFFD and do not encode back to themselves.
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

std::optional<NotificationTrigger> laterTrigger(int tag, const QDateTime& now) {
    if (tag == laterTenSecondsTag)
        return NotificationTrigger::timeInterval(tenSeconds.count());
    if (tag == laterTomorrowTag)
        return NotificationTrigger::calendar(now.toLocalTime().date().addDays(1), morning);
    if (tag > 0)
        return laterTriggerForMinutes(tag);
    return std::nullopt;
}

NotificationTrigger laterTriggerForMinutes(qint64 minutes) {
    return NotificationTrigger::timeInterval(minutes * secondsPerMinute);
}

QString laterNotificationIdentifier(const QByteArray& path, double secondsSince1970) {
    // Any hash serves: the identifier only has to differ between reminders.
    const auto hash = static_cast<qint64>(qHash(path));
    char time[64];
    const auto end = std::to_chars(std::begin(time), std::end(time), secondsSince1970).ptr;
    return QStringLiteral("marvoline.later.") + QString::number(hash) + QLatin1Char('.') +
           QString::fromLatin1(time, end - time);
}

NotificationRequest laterNotificationRequest(const QUrl& fileURL,
                                             const NotificationTrigger& trigger,
                                             double secondsSince1970) {
    const QByteArray path = localPath(fileURL);
    NotificationRequest request;
    request.identifier = laterNotificationIdentifier(path, secondsSince1970);
    //% "Reminder"
    request.content.title = qtTrId("ui.later.notificationTitle");
    request.content.body = displayFileName(fileURL);
    // A path that is not UTF-8 travels as its bytes, so the same file comes back.
    request.content.userInfo.insert(MainViewController::laterNotificationPathKey,
                                    isUtf8(path) ? QVariant(QString::fromUtf8(path))
                                                 : QVariant(path));
    request.trigger = trigger;
    return request;
}

double currentSecondsSince1970() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count();
}

void MainViewController::scheduleLaterNotification(const QList<QUrl>& files,
                                                   const NotificationTrigger& trigger,
                                                   std::function<void(bool)> completion) {
    QPointer<MainViewController> self(this);
    platform::notificationCenter().requestAuthorization(
        [self, files, trigger, completion = std::move(completion)](bool granted) {
            if (!granted || !self || files.isEmpty()) {
                completion(false);
                return;
            }
            // One time for all: the paths tell the identifiers apart.
            const double now = currentSecondsSince1970();
            QList<NotificationRequest> requests;
            requests.reserve(files.size());
            for (const QUrl& file : files)
                requests.append(laterNotificationRequest(file, trigger, now));
            platform::notificationCenter().add(requests, completion);
        });
}

void MainViewController::remindLaterAndLeave(const std::optional<NotificationTrigger>& trigger) {
    // The files are being handed to an application: they are not put away as
    // well, and the chooser leaves once that application has them.
    if (!trigger || launchInFlight || fileURLs.isEmpty())
        return;
    const QList<QUrl> files = fileURLs;
    QPointer<MainViewController> self(this);
    scheduleLaterNotification(files, *trigger, [self, files](bool scheduled) {
        if (!self)
            return;
        if (!scheduled) {
            self->showReminderNotScheduled();
            return;
        }
        // Other files that arrived meanwhile stay on show, and the check box
        // is theirs now.
        if (self->fileURLs != files)
            return;
        self->performSetDefaultIfNeeded(files.first());
        self->leave(files);
    });
}

void MainViewController::showReminderNotScheduled() {
    pauseTimer();
    //% "The reminder could not be scheduled."
    messageLabel->setText(qtTrId("ui.later.notScheduled"));
    //% "No notification service is running, or the reminder store cannot be written."
    messageLabel->setToolTip(qtTrId("ui.later.notScheduledReason"));
    messageLabel->setVisible(true);
}

} // namespace marvoline
