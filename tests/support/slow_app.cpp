// A D-Bus-activatable application that takes its time to answer:
//   marvoline_slow_app DESKTOP_ID RECORDS_DIR DELAY_MS [ERROR_TEXT]
// The session bus starts it for the name its desktop ID names. It answers
// org.freedesktop.Application.Open after DELAY_MS, recording the files as the
// sandbox's recorder does (one file per call in RECORDS_DIR, named after the
// desktop ID, the paths NUL-terminated), or, when ERROR_TEXT is given, fails
// the call with that text. It ends a few seconds after its last answer.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace {

class SlowApplication final : public QDBusVirtualObject {
public:
    SlowApplication(QString id, QString records, int delayMs, QString errorText)
        : m_id(std::move(id))
        , m_records(std::move(records))
        , m_delayMs(delayMs)
        , m_errorText(std::move(errorText)) {
        m_idle.setSingleShot(true);
        m_idle.setInterval(5000);
        QObject::connect(&m_idle, &QTimer::timeout, qApp, &QCoreApplication::quit);
        m_idle.start();
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != QLatin1String("org.freedesktop.Application"))
            return false;
        m_idle.stop();
        const int delay = message.member() == QLatin1String("Open") ? m_delayMs : 0;
        QTimer::singleShot(delay, qApp, [this, message, connection] {
            if (!m_errorText.isEmpty()) {
                connection.send(message.createErrorReply(
                    QStringLiteral("org.example.Error.Refused"), m_errorText));
            } else {
                if (message.member() == QLatin1String("Open"))
                    record(message.arguments().value(0).toStringList());
                connection.send(message.createReply());
            }
            m_idle.start();
        });
        return true;
    }

private:
    void record(const QStringList& uris) const {
        QByteArray contents;
        for (const QString& uri : uris) {
            const QUrl url = QUrl::fromEncoded(uri.toUtf8());
            contents += QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
            contents += '\0';
        }
        const QString name = m_records + QLatin1Char('/') + m_id + QLatin1Char('.') +
                             QString::number(QDateTime::currentMSecsSinceEpoch() * 1000000) +
                             QLatin1Char('.') + QString::number(::getpid());
        QFile part(name + QStringLiteral(".part"));
        if (part.open(QIODevice::WriteOnly) && part.write(contents) == contents.size()) {
            part.close();
            part.rename(name);
        }
    }

    QString m_id;
    QString m_records;
    int m_delayMs;
    QString m_errorText;
    QTimer m_idle;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    const int delay = args.size() >= 4 ? args.at(3).toInt(&ok) : 0;
    if (!ok || args.size() > 5 || !args.at(1).endsWith(QLatin1String(".desktop"))) {
        std::fputs("usage: marvoline_slow_app DESKTOP_ID RECORDS_DIR DELAY_MS [ERROR_TEXT]\n",
                   stderr);
        return 2;
    }
    const QString id = args.at(1);
    const QString busName = id.chopped(8);
    // The object path GIO calls: the name with "." as "/" and "-" as "_".
    QString path = QLatin1Char('/') + busName;
    path.replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));

    SlowApplication object(id, args.at(2), delay, args.value(4));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(path, &object) || !bus.registerService(busName)) {
        std::fprintf(stderr, "marvoline_slow_app: cannot serve %s\n", qPrintable(busName));
        return 1;
    }
    return app.exec();
}
