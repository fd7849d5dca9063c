// The X11 side of bringing the chooser to the front for a launcher: the
// startup-notification protocol and _NET_ACTIVE_WINDOW, spoken over Qt's own
// xcb connection.
#include "platform/x11/X11Activation.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace marvoline::x11 {

namespace {

// _NET_ACTIVE_WINDOW source indication: a request from an application.
constexpr quint32 sourceApplication = 1;
// Startup messages travel in client messages of this many bytes each.
constexpr int messageChunk = 20;

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

void sendToRoot(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                xcb_atom_t type, uint8_t format, const void* data, uint32_t mask) {
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = format;
    event.window = window;
    event.type = type;
    std::memcpy(event.data.data8, data, sizeof(event.data.data8));
    xcb_send_event(connection, 0, root, mask, reinterpret_cast<const char*>(&event));
}

} // namespace

std::optional<quint32> startupIdTime(const QByteArray& startupId) {
    static const QRegularExpression time(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch match = time.match(QString::fromUtf8(startupId));
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const quint32 value = match.captured(1).toUInt(&ok);
    return ok ? std::optional<quint32>(value) : std::nullopt;
}

QByteArray startupRemoveMessage(const QByteArray& startupId) {
    // Values with spaces, quotes or backslashes are quoted, with backslash
    // escapes inside.
    QByteArray value;
    bool quote = startupId.isEmpty();
    for (const char c : startupId) {
        if (c == ' ' || c == '"' || c == '\\')
            quote = true;
        if (c == '"' || c == '\\')
            value += '\\';
        value += c;
    }
    return QByteArray("remove: ID=") + (quote ? '"' + value + '"' : value);
}

void completeStartup(QWidget* window, const QByteArray& startupId) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!window || !x11 || !x11->connection() || startupId.isEmpty())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return;
    const xcb_window_t root = screen->root;

    // The window manager matches the window to the launcher's sequence by it.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom(connection, "_NET_STARTUP_ID"),
                        atom(connection, "UTF8_STRING"), 8, uint32_t(startupId.size()),
                        startupId.constData());

    if (const std::optional<quint32> time = startupIdTime(startupId)) {
        const quint32 data[5] = {sourceApplication, *time, XCB_WINDOW_NONE, 0, 0};
        sendToRoot(connection, root, id, atom(connection, "_NET_ACTIVE_WINDOW"), 32, data,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
    }

    // The launcher stops its busy feedback: the message with its terminating
    // NUL, in chunks, the first one of type _NET_STARTUP_INFO_BEGIN.
    QByteArray message = startupRemoveMessage(startupId);
    message.append('\0');
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    for (qsizetype at = 0; at < message.size(); at += messageChunk) {
        char chunk[messageChunk] = {};
        const qsizetype length = std::min<qsizetype>(messageChunk, message.size() - at);
        std::memcpy(chunk, message.constData() + at, size_t(length));
        sendToRoot(connection, root, id, at == 0 ? begin : more, 8, chunk,
                   XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
    xcb_flush(connection);
}

} // namespace marvoline::x11
