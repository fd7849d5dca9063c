#!/usr/bin/python3
"""Asks xdg-desktop-portal to open a file, as an application outside a
sandbox would: org.freedesktop.portal.OpenURI.OpenFile with the file passed as
a descriptor and ask=true, so that the portal asks its application chooser.

Prints "handle <path>" once the portal has taken the request, then
"response <code>" when the request ends (the portal names no application), and
exits. On SIGUSR1 it
closes the request instead (org.freedesktop.portal.Request.Close) and prints
"closed".

usage: portal_open_file.py FILE
"""
import os
import signal
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PORTAL = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    token = "marvoline%d" % os.getpid()
    sender = bus.get_unique_name()[1:].replace(".", "_")
    handle = "%s/request/%s/%s" % (PORTAL_PATH, sender, token)
    loop = GLib.MainLoop()

    def on_response(_conn, _sender, _path, _iface, _signal, params):
        code, _results = params.unpack()
        print("response %d" % code, flush=True)
        loop.quit()

    # Subscribed before the call: the answer may come before the call returns.
    bus.signal_subscribe(PORTAL, "org.freedesktop.portal.Request", "Response", handle,
                         None, Gio.DBusSignalFlags.NO_MATCH_RULE, on_response)
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "AddMatch", GLib.Variant("(s)", ("type='signal',path='%s'" % handle,)),
                  None, Gio.DBusCallFlags.NONE, -1, None)

    fd = os.open(sys.argv[1], os.O_PATH | os.O_CLOEXEC)
    fds = Gio.UnixFDList.new_from_array([fd])
    options = {"ask": GLib.Variant("b", True), "handle_token": GLib.Variant("s", token)}
    reply, _ = bus.call_with_unix_fd_list_sync(
        PORTAL, PORTAL_PATH, "org.freedesktop.portal.OpenURI", "OpenFile",
        GLib.Variant("(sha{sv})", ("", 0, options)), GLib.VariantType("(o)"),
        Gio.DBusCallFlags.NONE, 60000, fds, None)
    print("handle %s" % reply.unpack()[0], flush=True)

    def close():
        bus.call_sync(PORTAL, reply.unpack()[0], "org.freedesktop.portal.Request", "Close",
                      None, None, Gio.DBusCallFlags.NONE, 10000, None)
        print("closed", flush=True)
        loop.quit()
        return GLib.SOURCE_REMOVE

    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, close)
    loop.run()


if __name__ == "__main__":
    main()
