#pragma once

#include "platform/WindowActivation.h"

class QApplication;
class QCoreApplication;

namespace marvoline {

// Runs the program in an application object made by the caller: intake of the
// command line (argv, as raw bytes), the single-instance hand-over, the chooser,
// and the event loop. launchActivation is what the launcher gave the process
// (read before the application object was made). Returns the process's exit
// status.
//
// "--reminder-response <file URI> [<reminder identifier>]" as the only
// arguments is the reminder agent handing over the user's answer to a
// reminder: the file is shown as a reminder answer, without countdown, and the
// agent is told once this process or the running chooser has taken it.
int runApplication(QApplication& app, int argc, char** argv,
                   const WindowActivation& launchActivation = {});

// Whether the command line asks only for the usage or the version ("--help",
// "--version"), which need no display.
bool isInformationCommand(int argc, char** argv);
// Prints the usage or the version on standard output. Returns the exit status.
int printInformation(QCoreApplication& app, int argc, char** argv);

// Whether the command line asks for the reminder agent ("--reminder-agent").
bool isReminderAgentCommand(int argc, char** argv);
// Runs the reminder agent until no reminder is left. Returns the exit status.
int runReminderAgent(QCoreApplication& app);

} // namespace marvoline
