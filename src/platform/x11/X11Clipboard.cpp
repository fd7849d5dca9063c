// The freedesktop clipboard-manager protocol's one question, over Qt's own xcb
// connection. The hand-over itself (SAVE_TARGETS) is Qt's: its X11 clipboard
// asks the manager to take the content when the application object goes.
#include "platform/x11/X11Clipboard.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace marvoline::x11 {

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

} // namespace

bool clipboardManagerRuns() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    static const char name[] = "CLIPBOARD_MANAGER";
    const Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    // Only if exists: no manager ever ran when the display does not know the name.
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom),
                                      nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

} // namespace marvoline::x11
