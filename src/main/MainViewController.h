#pragma once

#include "chooser/InputStamp.h"
#include "chooser/RowFocus.h"
#include "handlers/AppCandidate.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QDialog;
class QEvent;
class QWindowStateChangeEvent;
class QLabel;
class QMenu;
class QToolButton;
class QTimer;

namespace marvoline {

class AppIconButton;
class ChoiceReceiver;
class MenuButton;
class NotificationTrigger;
struct ShareTarget;
struct ReadForCopy;
class StopTimerButton;
class WindowDragHandleView;

// The content of the chooser window: holds the files on show and every chooser
// flow. Its members are spread over one source file per concern:
//   chooser/DisplayFlow.cpp      configure, showFiles
//   chooser/Layout.cpp           buildUI
//   chooser/WindowWatch.cpp      window moves, resizes, full screen
//   chooser/Opening.cpp          openWith, preview double click, close
//   chooser/AppRow.cpp           populateAppButtons and the overflow menu
//   chooser/EachWithDefault.cpp  files of several types, each opened by its type's default
//   chooser/Countdown.cpp        startTimer, tick, pauseTimer
//   chooser/LaterMenu.cpp        the Later menu and the custom delay dialog
//   chooser/Reminders.cpp        scheduling the reminder of the Later menu
//   chooser/Preview.cpp          setupPreview
//   chooser/KeyboardAccess.cpp   tab order, focus at show and across rebuilds, Escape
//   chooser/TextAppearance.cpp   option fonts and symbols from the desktop's font and palette
//   chooser/MenuActions.cpp      menu opening
//   chooser/Rules.cpp            the rule dialog, a rule's countdown application
//   chooser/AddApp.cpp           picking any installed application
//   chooser/CopyMenu.cpp         the copy menu and the clipboard
//   chooser/Share.cpp            the share menu
//   chooser/InputMonitors.cpp    key presses, clicks and wheel over the preview
//   chooser/WindowSizing.cpp     the window's size on its screen, the zoom frame
//   chooser/ChoiceHandOver.cpp   the choice handed to another program instead of a launch
//   handlers/PersistedSettings.cpp, handlers/AppCandidates.cpp,
//   handlers/DefaultResolution.cpp, handlers/DefaultSwitching.cpp
class MainViewController : public QWidget {
    Q_OBJECT

public:
    explicit MainViewController(QWidget* parent = nullptr);
    ~MainViewController() override;

    // Persisted keys and the reminder's user-information key.
    static inline const QString previousDefaultKeyPrefix =
        QStringLiteral("marvoline.previousDefault.");
    static inline const QString appUsageKey = QStringLiteral("marvoline.appUsage");
    static inline const QString laterNotificationPathKey = reminderFilePathKey;

    // App row geometry (device-independent pixels).
    static constexpr int appButtonWidth = 96;
    static constexpr int appButtonSpacing = -8;
    static constexpr int overflowButtonWidth = 50;
    static constexpr int addButtonWidth = 80;
    // Height of the band that the row of tiles is centred on.
    static constexpr int appBandHeight = 52;
    // Property of an option button: the name of its symbol.
    static constexpr const char* optionSymbolProperty = "marvolineSymbol";

    static constexpr double timerDuration = 5.0;
    static constexpr int timerIntervalMs = 100;
    // A window manager moves and resizes a newly mapped window by itself.
    // Geometry changes count as the user's only once the chooser window has
    // been quiet for this long after it was shown.
    static constexpr int windowSettleMs = 600;

    // ---- display flow -------------------------------------------------------
    // Takes the files to show next. Every dialog and menu of the chooser still
    // open is cancelled first: nothing chosen in it acts on the new files.
    // ruleApp, when given (by a rule), is the application the countdown runs
    // to, with a tile of its own first in the row.
    void configure(const QList<QUrl>& fileURLs, bool isOpenAsContext = false,
                   bool skipTimer = false, const std::optional<QUrl>& ruleApp = {});
    void showFiles();
    // Replaces the preview in the pane with the one for the file, or with none
    // for a location that is not an existing local file.
    void setupPreview(const QUrl& url);
    // Whether the preview shows the file as a PDF document: by its type, or by
    // the extension when its type is known at all.
    static bool isPdfDocument(const QUrl& url, const std::optional<QString>& contentType);

    // ---- handler knowledge --------------------------------------------------
    // Counts a use; the count is written in the background (see
    // PreferencesStore::updateInBackground).
    static void recordAppUsage(const QUrl& appURL);
    static std::optional<QString> contentTypeIdentifier(const QUrl& fileURL);
    // "image/png", "image/jpeg", "image/gif", "image/tiff", "image/*"
    static const QStringList& imageContentTypes();
    // The desktop IDs of the system image viewers, most preferred first.
    static const QStringList& imageViewerIdentifiers();

    QList<AppCandidate> loadAppCandidates(const QUrl& fileURL) const;
    QString localizedAppName(const QUrl& appURL) const;
    std::optional<QUrl> previewAppForImageIfMissing(const QUrl& fileURL,
                                                    const QList<QUrl>& apps) const;

    std::optional<QUrl> loadPreviousDefault(const QUrl& fileURL) const;
    std::optional<QUrl> fallbackDefaultApp(const QUrl& fileURL, const QList<QUrl>& apps) const;
    std::optional<QUrl> initialDefaultApp(const QUrl& fileURL, const QList<QUrl>& apps) const;
    std::optional<QUrl> finalDefaultApp(const QUrl& fileURL, const std::optional<QUrl>& initial,
                                        const QList<QUrl>& list) const;
    // The application the row would mark as the default were the file the
    // first on show; absent when no application opens its type.
    std::optional<QUrl> typeDefaultApp(const QUrl& fileURL) const;

    // Asks for the switch on the preferences writer thread, after the store
    // writes asked for before; a switch that fails is said in the message line
    // (see leave()).
    void performSetDefaultIfNeeded(const QUrl& fileURL);
    // Returns whether the entry was saved; may wait for the store's lock.
    static bool savePreviousDefault(const QUrl& fileURL, const QUrl& appURL);
    // Whether a switch asked for has not finished yet.
    bool isSettingDefault() const { return m_pendingSwitches > 0; }
    // The chooser ends after a way out with the files it was taken on: once a
    // launch under way has finished and the set-default switch asked for on
    // the way has been made. It stays when that switch failed (the message
    // line says so) or when other files have arrived meanwhile.
    void leave(const QList<QUrl>& files);
    // The set-default check box's text names the file's type; its tool tip
    // names the application that ticking it would remember as the default.
    void updateSetDefaultTexts(const QUrl& fileURL);

    // ---- opening ------------------------------------------------------------
    // Counts the use, then launches; the chooser terminates once the launch has
    // finished, or stays (paused, with a message) when it failed.
    void openWith(const QUrl& appURL, const QList<QUrl>& fileURLs);
    // The opening sequence shared by every way out that opens the files.
    void openFilesAndQuit(const QUrl& appURL);
    void onPreviewDoubleClick();
    void onCloseTapped();
    // The chooser stays, paused, saying that the application could not open
    // the files (error is the launcher's own words, in the tool tip).
    void showLaunchFailure(const QUrl& appURL, const QString& error);
    bool isLaunchInFlight() const { return launchInFlight; }

    // ---- files of several types ---------------------------------------------
    // Whether the files on show are of more than one type.
    bool showsMixedTypes() const;
    // Opens every file with its type's default application, one launch per
    // application, each use counted. Files of a type that no application
    // opens stay on show, and the message line names the type; the chooser
    // ends once every file went to an application.
    void openEachWithItsDefault();

    // ---- app row ------------------------------------------------------------
    void populateAppButtons(const QList<AppCandidate>& apps, const QUrl& fileURL);
    static int visibleAppCount(double width);
    // How many of total candidates get a tile in a row of the width; the rest
    // go into the overflow menu.
    static int tilesThatFit(double width, int total);
    // Builds the overflow menu (returned for inspection) and pops it up unless
    // popUp is false.
    QMenu* onOverflowTapped(QToolButton* sender, bool popUp = true);
    void onOverflowAppSelected(QAction* item);
    void onAddAppTapped();

    // ---- countdown ----------------------------------------------------------
    void startTimer(const QUrl& fileURL, const std::optional<QUrl>& defaultApp);
    // One 0.1-second step of the countdown; the timer calls it.
    void tick();
    void pauseTimer();
    void pauseTimerFromNotification();

    // ---- later ---------------------------------------------------------------
    void buildLaterMenu(MenuButton* popUp);
    void onLaterItemSelected(QAction* item);
    // Opens the dialog, window-modal over the chooser, and returns; on a valid
    // count of minutes it reminds of the files on show when it is accepted.
    void showCustomTimerPicker();
    // One reminder for each of the files. completion runs once, from the event
    // loop, told whether the reminders were scheduled (all or none).
    void scheduleLaterNotification(const QList<QUrl>& files, const NotificationTrigger& trigger,
                                   std::function<void(bool scheduled)> completion);
    // ---- window sizing ------------------------------------------------------
    // Gives the chooser's window, before it is first shown, the size that the
    // files on show need (at least its own size, and the options row with its
    // margins) but no more than the available area of the screen under the
    // pointer leaves beside the decoration, centres it there, and fills the
    // row of tiles for that width. The option buttons with a symbol show it
    // alone when the screen is too narrow for their texts. Returns where the
    // window's inside goes; nothing without a screen or a window.
    std::optional<QRect> fitWindowToScreen();
    // The frame that zooming moves the window to: wide enough for every
    // candidate's tile, the add-application button and the margins, never
    // narrower than the current frame nor wider than the default frame, and
    // moved left (not past the visible area's left edge) to stay on screen.
    // Keeps the current frame's top and height. No candidates: defaultFrame.
    static QRect zoomFrame(qsizetype candidateCount, const QRect& current,
                           const QRect& defaultFrame, const QRect& visible);
    // zoomFrame() for the window's inside (as it is when not maximized) on
    // its screen's available area less the window manager's decoration.
    QRect windowWillUseStandardFrame(const QWidget* window, const QRect& defaultFrame) const;

    // ---- choice handed over -------------------------------------------------
    // From now on the chooser offers the receiver's applications and hands
    // the choice to it instead of launching (see ChoiceReceiver); the options
    // that act on the files themselves (Rule, Later, Copy, Share, the drag
    // handle, the set-default check box) are hidden. Null: back to launching.
    // Call before showFiles(); the receiver must outlive the chooser or be
    // reset first.
    void setChoiceReceiver(ChoiceReceiver* receiver);
    ChoiceReceiver* choiceReceiver() const { return m_choiceReceiver; }
    // The receiver's applications changed: the row is built anew; the
    // countdown stops when its application is no longer offered.
    void refreshOfferedApplications();

    // ---- rule and menus -----------------------------------------------------
    // Pauses the countdown and opens the rule dialog for the files on show.
    void onRuleTapped();
    // The candidates with the application first and the only default; it is
    // added when it is not among them.
    QList<AppCandidate> withCountdownApplication(QList<AppCandidate> candidates,
                                                 const QUrl& app) const;
    void menuWillOpen(QMenu* menu);

    // ---- copy and share -----------------------------------------------------
    // The copy pop-up's item was chosen: puts its content on the clipboard.
    void onCopyItemSelected(QAction* item);
    // Finds the sharing services and pops up their menu under the button.
    void onShareTapped(QToolButton* sender);

    // ---- state --------------------------------------------------------------
    QList<QUrl> fileURLs;
    bool isOpenAsContext = false;
    QWidget* previewContainer = nullptr;
    QWidget* previewView = nullptr;
    QWidget* appContainer = nullptr;
    QWidget* appStackView = nullptr;
    QList<AppCandidate> overflowApps;
    QList<AppCandidate> allAppCandidates;
    QPointer<AppIconButton> defaultAppButton;
    QPointer<StopTimerButton> stopTimerButton;
    QWidget* timerSectionStack = nullptr;
    QWidget* optionsStack = nullptr;
    MenuButton* copyPopUp = nullptr;
    QCheckBox* setDefaultButton = nullptr;
    QTimer* timer = nullptr; // null when idle
    double timerRemaining = timerDuration;
    bool isTimerPaused = false;
    bool skipTimer = false;
    std::optional<QUrl> ruleCountdownApp;

    // Controls of the options row, kept for tests and window handling.
    WindowDragHandleView* dragHandle = nullptr;
    QToolButton* ruleButton = nullptr;
    MenuButton* laterPopUp = nullptr;
    QToolButton* shareButton = nullptr;
    QToolButton* closeButton = nullptr;
    QToolButton* trailingButton = nullptr; // "⋯" or add-application
    QLabel* messageLabel = nullptr;        // shows a failed launch
    // The tile that opens each file with its own type's default.
    QPointer<AppIconButton> eachTile;
    // Over the preview's corner: how many files and types are on show.
    QLabel* selectionSummary = nullptr;
    // The types of the files on show, in their order; read by showFiles().
    QList<std::optional<QString>> fileTypes;

Q_SIGNALS:
    // The chooser is done: the application should end.
    void terminateRequested();
    // Files are being handed to an application; the chooser ends once it
    // has answered, unless the launch fails.
    void launchStarted();
    // A launch failed; the chooser stays on screen.
    void launchFailed(const QString& message);
    // A text or image copy has put its content on the clipboard.
    void copied();
    // Some of the files went to applications; these stay on show.
    void filesKept(const QList<QUrl>& files);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildUI();
    // Rejects the open dialogs of the chooser window and closes its menus.
    void cancelDialogsAndMenus();
    // Sets up the button (a new tool button when none is given) as an option.
    QToolButton* makeOptionButton(const QString& title, const QString& iconName,
                                  QToolButton* button = nullptr);
    void layoutAppRow();
    // Says in the band, before "Other…", that no application opens the file.
    void addNoApplicationLine(const QUrl& fileURL);
    // The width the row is built for.
    double rowWidth() const;
    void keepRoomForOptionsRow();
    // Option buttons with a symbol show it without their text (as tool tip).
    void setOptionsCompact(bool compact);
    // Installs a new copy menu for the files on show.
    void buildCopyMenu(MenuButton* popUp);
    void showShareMenu(QToolButton* sender, const QList<ShareTarget>& targets);
    // Puts the text or image read for a copy on the clipboard, or says in the
    // message line why not.
    void finishCopy(const ReadForCopy& read, const QUrl& file);
    // The chooser stays, paused, and says in the message line what did not work.
    void showOptionFailure(const QString& message, const QString& detail = {});
    // Pauses the countdown for the user's key presses, and clicks and wheel
    // turns over the preview pane; never consumes the event.
    void monitorInput(QObject* watched, QEvent* event);
    // A maximize request of the chooser window zooms it instead; true when
    // the change was such a request.
    bool zoomInsteadOfMaximizing(QWidget* window, const QWindowStateChangeEvent* change);
    void placeStopTimerButton();
    void onTileClicked(AppIconButton* tile);
    // Window geometry changes, seen by the window's event filter.
    bool handleWindowEvent(QWidget* window, QEvent* event);
    void rebuildRowForNewWidth();
    // Fills the row anew where its width now holds another number of tiles.
    void refillRowForWidth();
    // The tile of openEachWithItsDefault(), at the end of the row.
    void addEachTile();
    // Once every launch of openEachWithItsDefault() has answered.
    void keepUnopenedFiles(const QList<QUrl>& kept, const QString& message, const QString& detail);
    // The row's width less the room the each-with-its-default tile takes.
    double applicationsWidth() const;
    void updateSelectionSummary();
    void placeSelectionSummary();
    // Reminds of the files on show at the trigger, then leaves; refused while
    // a launch is in flight.
    void remindLaterAndLeave(const std::optional<NotificationTrigger>& trigger);
    void onDefaultSwitched(bool ok);
    void showSetDefaultFailure();
    // The chooser stays, paused, and says why it did not leave.
    void showReminderNotScheduled();
    QString shownAppName(const QUrl& appURL) const;

    QList<AppIconButton*> appTiles() const;

    // Keyboard access.
    void installKeyboardShortcuts();
    // Keys on the row and the option buttons, focus moving along the row, and
    // menus opened from the keyboard; true when the event was used up.
    bool handleKeyboardAccess(QObject* watched, QEvent* event);
    // The row's controls in their order on screen: the tiles, then the
    // trailing button.
    QList<QWidget*> rowControls() const;
    // Makes the control the row's one Tab stop.
    void setRowTabStop(QWidget* control);
    RowFocus rowFocus() const;
    void restoreRowFocus(const RowFocus& focus);
    void focusDefaultTile();
    void updateTabOrder();

    // Text sizes and symbol colours follow the application font and palette.
    void updateTextAppearance();
    void fitBandToTiles();

    // The applications of the receiver as candidates, the first the default.
    QList<AppCandidate> offeredAppCandidates() const;
    // Hand the choice or the cancel to the receiver, once per showing.
    void handOverChoice(const QUrl& appURL);
    void handOverCancel();

    ChoiceReceiver* m_choiceReceiver = nullptr;
    bool m_choiceHandedOver = false;
    bool launchInFlight = false;
    int m_pendingSwitches = 0;
    bool m_switchFailed = false;
    std::optional<QList<QUrl>> m_leaveAfterSwitch;
    bool quitAfterLaunch = false;
    std::optional<QUrl> countdownApp; // what the running countdown opens
    bool windowSettled = false;
    QTimer* settleTimer = nullptr;
    QPointer<QMenu> m_shareMenu;
    quint64 m_copyRequest = 0; // the copy chosen last
    QPointer<QDialog> m_applicationPicker;
    QPointer<QDialog> m_ruleDialog;
    // The input event seen last, to act once on each.
    std::optional<InputStamp> m_lastInput;
};

} // namespace marvoline
