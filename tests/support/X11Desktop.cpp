#include "support/X11Desktop.h"

#include <QRegularExpression>
#include <QTest>

namespace marvoline::test {

QString runTool(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString xdotool(const QStringList& args) {
    return runTool(QStringLiteral("xdotool"), args);
}

int shellValue(const QString& shell, const char* key) {
    const QRegularExpression re(QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(key)),
                                QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = re.match(shell);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QRect windowGeometry(const QString& window) {
    const QString shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    return QRect(shellValue(shell, "X"), shellValue(shell, "Y"), shellValue(shell, "WIDTH"),
                 shellValue(shell, "HEIGHT"));
}

QString findWindow(qint64 pid) {
    QString id;
    (void)QTest::qWaitFor(
        [&] {
            id = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--pid"), QString::number(pid)})
                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                     .value(0);
            return !id.isEmpty();
        },
        10000);
    return id;
}

WindowManager::~WindowManager() {
    m_process.terminate();
    m_process.waitForFinished(3000);
}

bool WindowManager::start() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    m_process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!m_process.waitForStarted())
        return false;
    return QTest::qWaitFor(
        [] {
            return runTool(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QStringLiteral("window id"));
        },
        10000);
}

} // namespace marvoline::test
