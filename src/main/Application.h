#pragma once

class QApplication;

namespace marvoline {

// Runs the program in an application object made by the caller: intake of the
// command line (argv, as raw bytes), the single-instance hand-over, the chooser,
// and the event loop. Returns the process's exit status.
int runApplication(QApplication& app, int argc, char** argv);

} // namespace marvoline
