#include "support/X11Desktop.h"

#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace marvoline::test {

QString runTool(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString xdotool(const QStringList& args) {
    return runTool(u"xdotool"_s, args);
}

int shellValue(const QString& shell, const char* key) {
    const QRegularExpression re(u"^%1=(-?\\d+)$"_s.arg(QLatin1String(key)),
                                QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = re.match(shell);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QRect windowGeometry(const QString& window) {
    const QString shell = xdotool({u"getwindowgeometry"_s, u"--shell"_s, window});
    return QRect(shellValue(shell, "X"), shellValue(shell, "Y"), shellValue(shell, "WIDTH"),
                 shellValue(shell, "HEIGHT"));
}

QStringList visibleWindowsOf(qint64 pid) {
    return xdotool({u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid)})
        .split(u'\n', Qt::SkipEmptyParts);
}

QString findWindow(qint64 pid) {
    QString id;
    (void)QTest::qWaitFor([&] { return !(id = visibleWindowsOf(pid).value(0)).isEmpty(); }, 10000);
    return id;
}

WindowManager::~WindowManager() {
    m_process.terminate();
    m_process.waitForFinished(3000);
}

bool WindowManager::start() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    // openbox needs the system's configuration and theme, which the test's XDG
    // sandbox hides: without them it ends as soon as a window is mapped.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_DIRS"_s, u"/etc/xdg"_s);
    env.insert(u"XDG_DATA_DIRS"_s, u"/usr/local/share:/usr/share"_s);
    m_process.setProcessEnvironment(env);
    // openbox sets its check window on the root before it is ready for new windows: one shown
    // in between is never mapped. The startup command runs once it is ready.
    m_process.start(u"openbox"_s,
                    {u"--sm-disable"_s, u"--startup"_s, u"echo marvoline-wm-ready"_s});
    return m_process.waitForStarted() &&
           QTest::qWaitFor(
               [this] {
                   return m_process.state() == QProcess::Running &&
                          m_process.peek(1 << 16).contains("marvoline-wm-ready");
               },
               10000);
}

ChooserProcess::ChooserProcess(const QList<QUrl>& files)
    : ChooserProcess(QStringLiteral(MARVOLINE_EXECUTABLE), files) {}

ChooserProcess::ChooserProcess(const QString& program, const QList<QUrl>& files,
                               const QProcessEnvironment& env)
    : m_files(files) {
    QStringList paths;
    for (const QUrl& file : files)
        paths.append(QFile::decodeName(localPath(file)));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, paths);
    if (process.waitForStarted())
        window = findWindow(process.processId());
}

std::optional<QPoint>
ChooserProcess::locate(const std::function<QWidget*(MainViewController&)>& pick) {
    std::optional<QPoint> at;
    QString twinWindow;
    {
        AppDelegate twin;
        twin.openUrls(m_files);
        MainViewController* vc = twin.mainViewController;
        if (!vc)
            return std::nullopt;
        vc->pauseTimer();
        const bool laidOut = QTest::qWaitForWindowExposed(twin.window) &&
                             QTest::qWaitFor(
                                 [&] {
                                     return twin.window->width() >= twin.window->minimumWidth() &&
                                            windowGeometry(window).size() == twin.window->size();
                                 },
                                 4000);
        QCoreApplication::processEvents();
        twinWindow = QString::number(twin.window->winId());
        if (QWidget* widget = laidOut ? pick(*vc) : nullptr; widget && widget->isVisible())
            at = widget->mapTo(twin.window, widget->rect().center());
    }
    // The twin's window is gone before the pointer goes to work.
    (void)QTest::qWaitFor(
        [&] { return !visibleWindowsOf(QCoreApplication::applicationPid()).contains(twinWindow); });
    xdotool({u"windowraise"_s, window});
    return at;
}

void ChooserProcess::click(QPoint inWindow) {
    xdotool({u"mousemove"_s, u"--window"_s, window, QString::number(inWindow.x()),
             QString::number(inWindow.y()), u"click"_s, u"1"_s});
}

bool ChooserProcess::endsWell(int timeoutMs) {
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace marvoline::test
