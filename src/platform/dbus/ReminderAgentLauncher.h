#pragma once

#include "platform/ReminderStore.h"

#include <QDBusConnection>
#include <QStringList>

class QObject;

namespace marvoline {

// Makes sure a reminder agent runs while the store holds reminders, so that an
// agent that was killed is back with the next chooser: when no agent has its
// bus name, the store is read on a thread of its own and, if it holds a
// reminder, the agent (agentCommand) is started. Nothing waits on the calling
// thread; context ends the bus call's answer with it.
void ensureReminderAgent(const QDBusConnection& connection, const ReminderStore& store,
                         const QStringList& agentCommand, QObject* context);

} // namespace marvoline
