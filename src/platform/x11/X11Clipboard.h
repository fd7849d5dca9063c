#pragma once

namespace marvoline::x11 {

// Whether a clipboard manager owns the CLIPBOARD_MANAGER selection on the
// application's X display; false where the application is not X11's.
bool clipboardManagerRuns();

} // namespace marvoline::x11
