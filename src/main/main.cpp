#include "main/Application.h"
#include "platform/ClipboardHandOver.h"
#include "platform/StartupWarmUp.h"

#include <QApplication>

#include <cstdio>

#include <unistd.h>

int main(int argc, char** argv) {
    // Serves what the chooser copied after it has ended; makes its own
    // application object.
    if (marvoline::clipboard::isHolderCommand(argc, argv))
        return marvoline::clipboard::runHolder(argc, argv);
    // The agent shows notifications only: it needs no display.
    if (marvoline::isReminderAgentCommand(argc, argv)) {
        QCoreApplication app(argc, argv);
        return marvoline::runReminderAgent(app);
    }
    // Typed in a terminal without a display, these must still answer.
    if (marvoline::isInformationCommand(argc, argv)) {
        QCoreApplication app(argc, argv);
        return marvoline::printInformation(app, argc, argv);
    }
    // Qt's X11 plugin takes DESKTOP_STARTUP_ID out of the environment when the
    // application object is made.
    const marvoline::WindowActivation launchActivation =
        marvoline::WindowActivation::fromEnvironment();
    // The fonts and the application folders are read meanwhile on a thread of
    // their own, done before the window needs them.
    marvoline::StartupWarmUp warmUp;
    int status = 0;
    {
        QApplication app(argc, argv);
        warmUp.applicationReady();
        status = marvoline::runApplication(app, argc, argv, launchActivation);
        warmUp.finish();
    }
    // Previews are decoded on threads of their own (platform/DeadlineTask.h),
    // and a decoder that never returns, on a hostile PDF say, is left running
    // when its time is up. Nothing may wait for it, so the process ends here
    // without running static destructors, which would join threads, tear
    // down the libraries under a running decoder, or spin with it. Everything
    // the user needs is done by now: stores written, the application object
    // gone (it hands the clipboard to the clipboard manager on its way out).
    // A helper process that could be killed would keep a runaway decoder from
    // using a core while the window is up, too, but would cost a process
    // start and a copy of every picture on each preview, and the chooser is
    // up for seconds.
    std::fflush(nullptr);
    ::_exit(status);
}
