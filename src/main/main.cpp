#include "main/Application.h"
#include "platform/ClipboardHandOver.h"

#include <QApplication>

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
    QApplication app(argc, argv);
    return marvoline::runApplication(app, argc, argv, launchActivation);
}
