#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QObject;

namespace marvoline {

// One way of handing files to someone or something else, found on this
// machine.
struct ShareTarget {
    enum class Kind { Email, KdeConnect, Bluetooth };
    Kind kind = Kind::Email;
    QString deviceId;   // KDE Connect only
    QString deviceName; // KDE Connect only
};

// A program and its arguments, as bytes: file names need not be UTF-8.
struct ShareCommand {
    QString program;
    QList<QByteArray> arguments;
};

// The sharing services of the desktop, each a program found on the search
// path: an e-mail with the files attached (xdg-email, where some application
// handles mailto: URIs), the reachable KDE Connect devices (kdeconnect-cli)
// and Bluetooth (bluetooth-sendto).
class ShareServices {
public:
    using TargetsCallback = std::function<void(const QList<ShareTarget>& targets)>;
    using FailedCallback = std::function<void(const QString& error)>;

    // searchPath: the folders to look for the programs in; empty means $PATH,
    // read at every call. canMail: whether an e-mail can be written; null
    // means asking the application registry for a mailto: handler.
    explicit ShareServices(QStringList searchPath = {}, std::function<bool()> canMail = {});

    // Finds the targets. Listing KDE Connect devices runs a program, so done
    // runs later, on the main thread, unless context has gone by then. A
    // listing that fails or takes too long only leaves the devices out.
    void findTargets(QObject* context, TargetsCallback done) const;

    // The command that hands the files to the target; empty program when the
    // service's program is not installed.
    ShareCommand command(const ShareTarget& target, const QList<QUrl>& files) const;

    // Starts the command; it runs on after this program ends. failed runs on
    // the main thread, unless context has gone by then, when the command could
    // not be started or ended with a failure, with what went wrong.
    void share(QObject* context, const ShareTarget& target, const QList<QUrl>& files,
               FailedCallback failed) const;

private:
    QString findProgram(const QString& name) const;

    QStringList m_searchPath;
    std::function<bool()> m_canMail;
};

} // namespace marvoline
