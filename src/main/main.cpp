#include "main/Application.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The agent shows notifications only: it needs no display.
    if (marvoline::isReminderAgentCommand(argc, argv)) {
        QCoreApplication app(argc, argv);
        return marvoline::runReminderAgent(app);
    }
    QApplication app(argc, argv);
    return marvoline::runApplication(app, argc, argv);
}
