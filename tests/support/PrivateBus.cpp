#include "support/PrivateBus.h"

#include "support/XdgSandbox.h"

#include <QDir>
#include <QFile>

namespace marvoline::test {

namespace {

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        qFatal("private bus: cannot write %s", qPrintable(path));
}

// A D-Bus service file's Exec is split as a shell would; quote every word.
QByteArray quoted(const QString& word) {
    QByteArray bytes = QFile::encodeName(word);
    bytes.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + bytes + '"';
}

} // namespace

PrivateBus::PrivateBus(XdgSandbox& sandbox)
    : m_sandbox(sandbox) {
    const QString services = sandbox.dataDir() + QStringLiteral("/dbus-1/services");
    QDir().mkpath(services);
    const QString config = sandbox.root() + QStringLiteral("/bus.conf");
    writeText(config, "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                      "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                      "busconfig.dtd\">\n<busconfig>\n<type>session</type>\n"
                      "<listen>unix:dir=" +
                          QFile::encodeName(sandbox.root()) + "</listen>\n<servicedir>" +
                          QFile::encodeName(services) +
                          "</servicedir>\n<policy context=\"default\">\n"
                          "<allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                          "<allow eavesdrop=\"true\"/>\n<allow own=\"*\"/>\n</policy>\n"
                          "</busconfig>\n");
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    while (m_daemon.waitForReadyRead(10000)) {
        if (m_daemon.canReadLine()) {
            m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
            break;
        }
    }
}

PrivateBus::~PrivateBus() {
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
}

void PrivateBus::makeSessionBus() const {
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
}

QUrl PrivateBus::addSlowApp(const QString& id, const QString& name, const QStringList& mimeTypes,
                            int delayMs, const QString& errorText) {
    const QString busName = id.chopped(int(qstrlen(".desktop")));
    QByteArray exec = quoted(QStringLiteral(SLOW_APP_EXECUTABLE)) + ' ' + quoted(id) + ' ' +
                      quoted(m_sandbox.recordsDir()) + ' ' + QByteArray::number(delayMs);
    if (!errorText.isEmpty())
        exec += ' ' + quoted(errorText);
    writeText(m_sandbox.dataDir() + QStringLiteral("/dbus-1/services/") + busName +
                  QStringLiteral(".service"),
              "[D-BUS Service]\nName=" + busName.toUtf8() + "\nExec=" + exec + '\n');
    return m_sandbox.addApp(id, name, mimeTypes, {QStringLiteral("DBusActivatable=true")});
}

} // namespace marvoline::test
