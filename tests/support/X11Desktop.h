#pragma once

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

namespace marvoline::test {

// Helpers for tests on a real X server (xvfb-run), driving it with the
// desktop's own tools.

// Runs a tool and returns its standard output; empty when it did not finish.
QString runTool(const QString& program, const QStringList& args, int timeoutMs = 10000);
QString xdotool(const QStringList& args);
// A value of `xdotool ... --shell` output ("X=12"); -1 when absent.
int shellValue(const QString& shell, const char* key);
// Where a window's inside is on the screen.
QRect windowGeometry(const QString& window);
// The visible top-level window of the process, once it is mapped; empty after
// ten seconds without one.
QString findWindow(qint64 pid);

// openbox for the length of a test: start() returns once it manages the screen.
class WindowManager {
public:
    ~WindowManager();
    bool start();

private:
    QProcess m_process;
};

} // namespace marvoline::test
