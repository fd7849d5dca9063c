// The add-application action: any installed application can open the files
// on show, picked from a list of all of them.
#include "main/MainViewController.h"

#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "views/ApplicationPickerDialog.h"

namespace marvoline {

void MainViewController::onAddAppTapped() {
    pauseTimer();
    if (m_applicationPicker) {
        m_applicationPicker->raise();
        m_applicationPicker->activateWindow();
        return;
    }
    auto* picker = new ApplicationPickerDialog(platform::registry().allApplications(), window());
    picker->setAttribute(Qt::WA_DeleteOnClose);
    m_applicationPicker = picker;
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
