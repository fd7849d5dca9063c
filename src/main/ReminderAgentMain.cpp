// The reminder agent's process: no window, only the session bus.
#include "main/Application.h"
#include "main/Translations.h"
#include "platform/ReminderStore.h"
#include "platform/dbus/ReminderAgent.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstring>

namespace marvoline {

bool isReminderAgentCommand(int argc, char** argv) {
    return argc == 2 && std::strcmp(argv[1], "--reminder-agent") == 0;
}

int runReminderAgent(QCoreApplication& app) {
    QCoreApplication::setApplicationName(QStringLiteral("marvoline"));
    installTranslations(app);
    ReminderAgent agent(QDBusConnection::sessionBus(), ReminderStore::standard(),
                        {QCoreApplication::applicationFilePath()});
    QObject::connect(&agent, &ReminderAgent::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    agent.start();
    return QCoreApplication::exec();
}

} // namespace marvoline
