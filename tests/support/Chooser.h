#pragma once

#include "main/MainViewController.h"
#include "views/AppIconButton.h"

#include <QVBoxLayout>

#include <memory>

namespace marvoline::test {

// Candidates "App 0", "App 1", ... at /apps/app<i>.desktop, each with an icon of its own colour;
// the one at defaultIndex (none when negative) is the default.
QList<AppCandidate> candidates(int count, int defaultIndex = 0);

// The application tiles of the row, left to right.
QList<AppIconButton*> tiles(const MainViewController& vc);

// The uses of the application counted so far, once the counts asked for are written.
qint64 usesOf(const QUrl& app);

// A chooser that was given the files and shows them, as the shell does.
std::unique_ptr<MainViewController> showing(const QList<QUrl>& files, bool openAsContext = true,
                                            bool skipTimer = false);

// A chooser laid out in a shown top-level window, the way the shell embeds it.
struct ChooserWindow {
    explicit ChooserWindow(QSize size = {520, 420});
    // True once the window is exposed and has been quiet long enough that its geometry changes
    // count as the user's.
    bool waitUntilSettled();
    // The same for the window of any chooser, once it is exposed.
    static bool waitUntilSettled(const MainViewController& vc);
    QWidget window;
    MainViewController* vc = new MainViewController;
};

} // namespace marvoline::test
