#pragma once

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace marvoline {
class MainViewController;
}

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
// The process's visible windows now: its top-level window and any pop-up.
QStringList visibleWindowsOf(qint64 pid);

// openbox for the length of a test: start() returns once it manages new windows.
class WindowManager {
public:
    ~WindowManager();
    bool start();

private:
    QProcess m_process;
};

// The chooser program started for files, and its window once it is mapped.
class ChooserProcess {
public:
    explicit ChooserProcess(const QList<QUrl>& files);
    // The same for another build of the program, e.g. an installed one, or in another
    // environment.
    ChooserProcess(const QString& program, const QList<QUrl>& files,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    // Where, inside the program's window, is the widget that pick chooses (null: none)? The same
    // chooser is laid out in this process, through the same start-up path, and measured once both
    // windows have widened to fit their options row; the pointer can go to work on return.
    std::optional<QPoint> locate(const std::function<QWidget*(MainViewController&)>& pick);
    void click(QPoint inWindow);
    // True when the program ends by itself within the time, with exit code 0.
    bool endsWell(int timeoutMs);

    QProcess process;
    QString window; // empty when no window appeared

private:
    QList<QUrl> m_files;
};

} // namespace marvoline::test
