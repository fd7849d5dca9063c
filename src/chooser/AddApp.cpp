// The add-application action: any installed application can open the files
// on show, picked from a list of all of them.
#include "chooser/InstalledApplications.h"
#include "main/MainViewController.h"

#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "views/ApplicationPickerDialog.h"

#include <QFutureWatcher>
#include <QPromise>

#include <thread>

namespace marvoline {

using InstalledApps = QList<InstalledApp>;

// Lists the installed applications on a thread of its own, which is left to
// end by itself: reading the desktop entries waits on one that is a FIFO until
// something writes to it, and a pool thread waiting there would hold the
// program when it ends.
QFuture<InstalledApps> listApplicationsInBackground() {
    QPromise<InstalledApps> promise;
    QFuture<InstalledApps> future = promise.future();
    std::thread([promise = std::move(promise)]() mutable {
        promise.start();
        promise.addResult(platform::registry().allApplications());
        promise.finish();
    }).detach();
    return future;
}

void MainViewController::onAddAppTapped() {
    pauseTimer();
    if (m_applicationPicker) {
        m_applicationPicker->raise();
        m_applicationPicker->activateWindow();
        return;
    }
    auto* picker = new ApplicationPickerDialog(window());
    picker->setAttribute(Qt::WA_DeleteOnClose);
    m_applicationPicker = picker;
    // The dialog opens at once, with a "Loading…" row until the list is there.
    auto* listing = new QFutureWatcher<InstalledApps>(picker);
    connect(listing, &QFutureWatcher<InstalledApps>::finished, picker, [picker, listing] {
        if (listing->future().resultCount() == 0)
            return;
        InstalledApps apps = listing->result();
        for (InstalledApp& app : apps)
            app.icon = platform::registry().installedAppIcon(app);
        picker->setApplications(apps);
    });
    listing->setFuture(listApplicationsInBackground());
    // Cancelling leaves the chooser as it is, paused.
    connect(picker, &QDialog::accepted, this, [this, picker] {
        const std::optional<QUrl> app = picker->selectedApplication();
        if (app && !fileURLs.isEmpty())
            openFilesAndQuit(*app);
    });
    // Window-modal and without a nested event loop: the chooser keeps running.
    picker->open();
}

} // namespace marvoline
