#pragma once

#include "platform/NotificationCenter.h"
#include "platform/WindowActivation.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <optional>

namespace marvoline {

class MainViewController;

// The application shell: takes files from the command line and open events,
// keeps them pending until the one chooser window exists, shows them there, and
// ends the program when there is nothing to show.
class AppDelegate : public QObject, public NotificationCenterDelegate {
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // Launch. arguments are the process arguments without the program's path.
    void applicationWillFinishLaunching(const QList<QByteArray>& arguments);
    void applicationDidFinishLaunching();
    void handleLaunchOrTerminate();
    // Shows the files kept from the command line at once, as an open event
    // would: the file manager hands files over that way. Call once this
    // process knows it is the one to show them.
    void showCommandLineFiles();

    // Open events. The rules decide for the files first, unless byRules is
    // false.
    void openUrls(const QList<QUrl>& urls, bool byRules = true);
    bool openFile(const QByteArray& path);
    void openFiles(const QList<QByteArray>& paths);
    // Brings the chooser to the front, if there is one, with what a launcher
    // gave for that.
    void activate(const WindowActivation& activation = {});

    // Reminder answers.
    void didReceiveNotificationResponse(const QVariantMap& userInfo,
                                        const WindowActivation& activation,
                                        std::function<void()> completion) override;

    // Window presentation.
    void showWindow();
    // countdownApp, when given, is the application the countdown runs to.
    void showFiles(const QList<QUrl>& urls, bool skipTimer = false,
                   const std::optional<QUrl>& countdownApp = {});
    static void centerWindowOnMouseScreen(QWidget* window);
    static QString windowTitle(const QList<QUrl>& urls);
    // Whether the program is not the default application of the file.
    static bool computeIsOpenAsContext(const QUrl& firstFile);

    // Ends the event loop once pending work is done.
    void terminate();
    // Takes the chooser window off the screen for good.
    void closeWindow();

    // Delay of the launch check after launch has finished.
    static constexpr int launchCheckDelayMs = 500;

    QPointer<QWidget> window;
    QPointer<MainViewController> mainViewController;
    QList<QUrl> pendingURLs;
    bool pendingSkipTimer = false;
    std::optional<QUrl> pendingCountdownApp; // a rule's, for the files pending
    // Set by "--choose": the chooser shows the files of the command line
    // whatever the rules say (files that arrive later are decided as always).
    bool ignoreRules = false;

    bool hasShownWindow() const { return m_hasShownWindow; }

Q_SIGNALS:
    void terminateRequested();
    // The chooser has started handing the files on show to an application;
    // files that arrive now would be lost with it.
    void launchStarted();
    // That launch failed; the chooser stays and takes files again.
    void launchFailed();
    // A rule handed the files to the application without the chooser.
    void openedByRule(const QUrl& app, const QList<QUrl>& urls);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the files, unless a rule decides otherwise (see main/RuleIntake.cpp).
    void present(const QList<QUrl>& urls, bool byRules = true);
    // Applies the first rule that holds for the files: true when it took them
    // (opened at once); otherwise it may have set how the chooser shows them.
    bool takeByRules(const QList<QUrl>& urls);
    // Opens the files with the application as a tile click does; a failed
    // launch shows them in the chooser with the failure.
    void openAtOnce(const QUrl& app, const QList<QUrl>& urls);
    void ruleLaunchFinished(const QUrl& app, const QList<QUrl>& urls, bool alone,
                            const std::optional<QString>& error);

    bool m_hasShownWindow = false;
    int m_ruleLaunchesInFlight = 0;
};

} // namespace marvoline
