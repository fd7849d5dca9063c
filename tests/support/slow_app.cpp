// A D-Bus-activatable application that answers late:
//   marvoline_slow_app DESKTOP_ID RECORDS_DIR DELAY_MS [ERROR_TEXT]
// Started by the session bus for the name of its desktop ID, it answers one
// org.freedesktop.Application call after DELAY_MS and ends: an Open is
// recorded as the sandbox's recorder does (a file named after the desktop ID
// in RECORDS_DIR, the paths NUL-terminated), or refused with ERROR_TEXT.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

namespace {

class SlowApplication final : public QDBusVirtualObject {
public:
    explicit SlowApplication(QStringList args)
        : m_args(std::move(args)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        QTimer::singleShot(m_args.at(3).toInt(), qApp, [this, call, bus] {
            if (m_args.size() > 4) {
                bus.send(call.createErrorReply(QStringLiteral("org.example.Refused"), m_args[4]));
            } else {
                QByteArray paths;
                for (const QString& uri : call.arguments().value(0).toStringList())
                    paths +=
                        QByteArray::fromPercentEncoding(
                            QUrl::fromEncoded(uri.toUtf8()).path(QUrl::FullyEncoded).toLatin1()) +
                        '\0';
                const QString name = m_args[2] + QLatin1Char('/') + m_args[1] +
                                     QStringLiteral(".slow.") + QString::number(::getpid());
                QFile out(name + QStringLiteral(".part"));
                if (out.open(QIODevice::WriteOnly) && out.write(paths) == paths.size()) {
                    out.close();
                    out.rename(name);
                }
                bus.send(call.createReply());
            }
            QTimer::singleShot(100, qApp, &QCoreApplication::quit);
        });
        return true;
    }

private:
    QStringList m_args;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || !args.at(1).endsWith(QLatin1String(".desktop")))
        return 2;
    // GIO calls the name's object path: "." as "/" and "-" as "_".
    const QString name = args.at(1).chopped(8);
    QString path = QLatin1Char('/') + name;
    path.replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));
    SlowApplication object(args);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(path, &object) || !bus.registerService(name))
        return 1;
    return app.exec();
}
