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
// path: an e-mail with the files attached (xdg-email), the reachable KDE
// Connect devices (kdeconnect-cli) and Bluetooth (bluetooth-sendto).
class ShareServices {
public:
    using TargetsCallback = std::function<void(const QList<ShareTarget>& targets)>;

    // searchPath: the folders to look for the programs in; empty means $PATH,
    // read at every call.
    explicit ShareServices(QStringList searchPath = {});

    // Finds the targets. Listing KDE Connect devices runs a program, so done
    // runs later, on the main thread, unless context has gone by then. A
    // listing that fails or takes too long only leaves the devices out.
    void findTargets(QObject* context, TargetsCallback done) const;

    // The command that hands the files to the target; empty program when the
    // service's program is not installed.
    ShareCommand command(const ShareTarget& target, const QList<QUrl>& files) const;

    // Starts the command detached; false (and a warning in the log) when it
    // could not be started.
    bool share(const ShareTarget& target, const QList<QUrl>& files) const;

private:
    QString findProgram(const QString& name) const;

    QStringList m_searchPath;
};

} // namespace marvoline
