#include "support/PrivateBus.h"

#include "support/XdgSandbox.h"

#include <QDir>
#include <QFile>

namespace marvoline::test {

PrivateBus::PrivateBus(XdgSandbox& sandbox)
    : m_sandbox(sandbox) {
    const QByteArray root = QFile::encodeName(sandbox.root());
    QDir().mkpath(sandbox.dataDir() + QStringLiteral("/dbus-1/services"));
    XdgSandbox::writeBytes(
        sandbox.root() + QStringLiteral("/bus.conf"),
        "<busconfig><type>session</type><listen>unix:dir=" + root + "</listen><servicedir>" + root +
            "/data/dbus-1/services</servicedir><policy context='default'>"
            "<allow send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/>"
            "<allow own='*'/></policy></busconfig>\n");
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + sandbox.root() + QStringLiteral("/bus.conf"),
                    QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
}

PrivateBus::~PrivateBus() {
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}

void PrivateBus::makeSessionBus() const {
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
}

QUrl PrivateBus::addSlowApp(const QString& id, const QString& name, const QStringList& mimeTypes,
                            int delayMs, const QString& errorText) {
    // The service file's Exec is split as a shell would: every word quoted.
    QStringList words{QStringLiteral(SLOW_APP_EXECUTABLE), id, m_sandbox.recordsDir(),
                      QString::number(delayMs)};
    if (!errorText.isEmpty())
        words.append(errorText);
    QByteArray exec;
    for (const QString& word : words)
        exec += " \"" + word.toUtf8() + '"';
    XdgSandbox::writeBytes(m_sandbox.dataDir() + QStringLiteral("/dbus-1/services/") +
                               id.chopped(8) + QStringLiteral(".service"),
                           "[D-BUS Service]\nName=" + id.chopped(8).toUtf8() +
                               "\nExec=" + exec.mid(1) + '\n');
    return m_sandbox.addApp(id, name, mimeTypes, {QStringLiteral("DBusActivatable=true")});
}

} // namespace marvoline::test
