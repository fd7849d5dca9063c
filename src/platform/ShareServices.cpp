#include "platform/ShareServices.h"

#include "platform/AppRegistry.h"
#include "platform/DetachedProcess.h"
#include "platform/FilePaths.h"
#include "platform/Logging.h"
#include "platform/Platform.h"

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>
#include <memory>

namespace marvoline {

namespace {

const QString emailProgram = QStringLiteral("xdg-email");
const QString kdeConnectProgram = QStringLiteral("kdeconnect-cli");
const QString bluetoothProgram = QStringLiteral("bluetooth-sendto");

// kdeconnect-cli asks the KDE Connect daemon over D-Bus, which may be slow to
// start or hang; the menu does not wait longer than this for the devices.
constexpr std::chrono::milliseconds deviceListingTimeout{3000};

QByteArray pathArgument(const QUrl& file) {
    return localPath(file);
}

// "<id> <name>" per line, as kdeconnect-cli --id-name-only prints them.
QList<ShareTarget> parseDevices(const QByteArray& output) {
    QList<ShareTarget> devices;
    for (const QByteArray& rawLine : output.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        const QString id = space < 0 ? line : line.left(space);
        if (id.isEmpty())
            continue;
        ShareTarget device;
        device.kind = ShareTarget::Kind::KdeConnect;
        device.deviceId = id;
        device.deviceName = space < 0 ? id : line.mid(space + 1).trimmed();
        devices.append(device);
    }
    return devices;
}

} // namespace

ShareServices::ShareServices(QStringList searchPath, std::function<bool()> canMail)
    : m_searchPath(std::move(searchPath))
    , m_canMail(std::move(canMail)) {
    if (!m_canMail)
        m_canMail = [] { return platform::registry().handlesUriScheme(QStringLiteral("mailto")); };
}

QString ShareServices::findProgram(const QString& name) const {
    return QStandardPaths::findExecutable(name, m_searchPath);
}

void ShareServices::findTargets(QObject* context, TargetsCallback done) const {
    QList<ShareTarget> found;
    // xdg-email only hands the files to the desktop's mail client.
    if (!findProgram(emailProgram).isEmpty() && m_canMail())
        found.append({ShareTarget::Kind::Email, {}, {}});
    const bool hasBluetooth = !findProgram(bluetoothProgram).isEmpty();
    const QString kdeConnect = findProgram(kdeConnectProgram);

    auto finish = [found, hasBluetooth, done](const QList<ShareTarget>& devices) {
        QList<ShareTarget> all = found;
        all.append(devices);
        if (hasBluetooth)
            all.append({ShareTarget::Kind::Bluetooth, {}, {}});
        done(all);
    };
    if (kdeConnect.isEmpty()) {
        QTimer::singleShot(0, context, [finish] { finish({}); });
        return;
    }

    auto* listing = new QProcess(context);
    listing->setProgram(kdeConnect);
    listing->setArguments({QStringLiteral("--list-available"), QStringLiteral("--id-name-only")});
    listing->setStandardInputFile(QProcess::nullDevice());
    listing->setProcessChannelMode(QProcess::SeparateChannels);
    // Exactly one of finished, errorOccurred (failed to start) and the timeout
    // answers; the others find the process already answered.
    auto answered = std::make_shared<bool>(false);
    auto answer = [listing, answered, finish](const QList<ShareTarget>& devices) {
        if (*answered)
            return;
        *answered = true;
        finish(devices);
        listing->deleteLater();
    };
    QObject::connect(listing, &QProcess::finished, context,
                     [listing, answer](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0) {
                             qCWarning(lcMarvoline) << "kdeconnect-cli could not list devices:"
                                                    << listing->readAllStandardError().trimmed();
                             answer({});
                             return;
                         }
                         answer(parseDevices(listing->readAllStandardOutput()));
                     });
    QObject::connect(listing, &QProcess::errorOccurred, context,
                     [listing, answer](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         qCWarning(lcMarvoline) << "kdeconnect-cli:" << listing->errorString();
                         answer({});
                     });
    QTimer::singleShot(deviceListingTimeout, listing, [listing, answer] {
        qCWarning(lcMarvoline) << "kdeconnect-cli did not list devices in time";
        listing->kill();
        answer({});
    });
    listing->start();
}

ShareCommand ShareServices::command(const ShareTarget& target, const QList<QUrl>& files) const {
    ShareCommand command;
    switch (target.kind) {
    case ShareTarget::Kind::Email:
        command.program = findProgram(emailProgram);
        for (const QUrl& file : files)
            command.arguments << "--attach" << pathArgument(file);
        break;
    case ShareTarget::Kind::KdeConnect:
        command.program = findProgram(kdeConnectProgram);
        command.arguments << "--device" << target.deviceId.toUtf8();
        for (const QUrl& file : files)
            command.arguments << "--share" << file.toEncoded();
        break;
    case ShareTarget::Kind::Bluetooth:
        command.program = findProgram(bluetoothProgram);
        for (const QUrl& file : files)
            command.arguments << pathArgument(file);
        break;
    }
    return command;
}

void ShareServices::share(QObject* context, const ShareTarget& target, const QList<QUrl>& files,
                          FailedCallback failed) const {
    const ShareCommand c = command(target, files);
    if (c.program.isEmpty()) {
        qCWarning(lcMarvoline) << "the sharing program is no longer installed";
        //% "The program for this service is no longer installed."
        const QString error = qtTrId("ui.share.notInstalled");
        QTimer::singleShot(0, context, [failed, error] { failed(error); });
        return;
    }
    const QString program = c.program;
    startWatchedProcess(c.program, c.arguments, context, [program, failed](const QString& error) {
        if (error.isEmpty())
            return;
        qCWarning(lcMarvoline) << program << "did not share the files:" << error;
        failed(error);
    });
}

} // namespace marvoline
