#!/usr/bin/python3
"""Time from an application's call to xdg-desktop-portal (OpenURI.OpenFile with
ask=true) to the first paint of the chooser the portal asked for.

Runs on the display it is given (xvfb-run) with a session bus of its own, which
starts the chooser by D-Bus activation from the build folder, the way the
installed service file does. "cold": the chooser process is ended before each
call, so the portal's call starts it; "warm": the chooser already runs. Each
request is closed by the caller once the chooser has painted.

usage: xvfb-run -a bench/portal_first_paint.py BUILD_DIR [RUNS]
prints one JSON object: median, min and max milliseconds for each case.
"""
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

BACKEND = "org.freedesktop.impl.portal.desktop.marvoline"
PORTAL = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def sandbox(root, program):
    env = dict(os.environ)
    for name, sub in [("HOME", "home"), ("XDG_DATA_HOME", "data-home"), ("XDG_DATA_DIRS", "data"),
                      ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                      ("XDG_STATE_HOME", "state")]:
        env[name] = os.path.join(root, sub)
        os.makedirs(env[name], exist_ok=True)
    os.symlink("/usr/share/mime", os.path.join(root, "data/mime"))
    for app in ("Viewer", "Editor"):
        write(os.path.join(root, "data/applications/org.example.%s.desktop" % app),
              "[Desktop Entry]\nType=Application\nName=%s\nExec=true %%F\n"
              "MimeType=text/plain;\n" % app)
    services = os.path.join(root, "services")
    write(os.path.join(services, BACKEND + ".service"),
          "[D-BUS Service]\nName=%s\nExec=%s --portal\n" % (BACKEND, program))
    write(os.path.join(services, "org.freedesktop.impl.portal.PermissionStore.service"),
          "[D-BUS Service]\nName=org.freedesktop.impl.portal.PermissionStore\n"
          "Exec=/usr/libexec/xdg-permission-store\n")
    write(os.path.join(root, "bus.conf"),
          "<busconfig><type>session</type><listen>unix:dir=%s</listen>"
          "<servicedir>%s</servicedir><policy context='default'>"
          "<allow send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/>"
          "<allow own='*'/></policy></busconfig>\n" % (root, services))
    shutil.copy(os.path.join(SOURCE, "resources/marvoline.portal"), os.path.join(root, "data"))
    env["XDG_DESKTOP_PORTAL_DIR"] = os.path.join(root, "data")
    env["XDG_CURRENT_DESKTOP"] = "Marvoline"
    env["QT_LOGGING_RULES"] = "marvoline.debug=true"
    env["QT_QPA_PLATFORM"] = "xcb"
    return env


def main():
    program = os.path.join(sys.argv[1], "src/marvoline")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    root = tempfile.mkdtemp(prefix="marvoline-portal-bench-")
    env = sandbox(root, program)
    daemon = subprocess.Popen(["dbus-daemon", "--config-file=" + os.path.join(root, "bus.conf"),
                               "--nofork", "--print-address=1"], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    address = daemon.stdout.readline().strip()
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    painted = []  # epoch milliseconds of each first paint, from the chooser's log
    cond = threading.Condition()

    def read_log():
        for line in daemon.stderr:
            m = re.search(r"portal chooser painted at (\d+) ms", line)
            if m:
                with cond:
                    painted.append(int(m.group(1)))
                    cond.notify_all()

    threading.Thread(target=read_log, daemon=True).start()
    portal = subprocess.Popen(["/usr/libexec/xdg-desktop-portal", "-r"], env=env,
                              stderr=subprocess.DEVNULL)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def owner_pid(name):
        try:
            return bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                                 GLib.Variant("(s)", (name,)), None, Gio.DBusCallFlags.NONE,
                                 2000, None).unpack()[0]
        except GLib.Error:
            return 0

    deadline = time.time() + 20
    while not owner_pid(PORTAL) and time.time() < deadline:
        time.sleep(0.1)
    path = os.path.join(root, "notes.txt")
    write(path, "notes\n")

    def one_request():
        with cond:
            seen = len(painted)
        fd = os.open(path, os.O_PATH | os.O_CLOEXEC)
        options = {"ask": GLib.Variant("b", True)}
        start = time.time() * 1000
        reply, _ = bus.call_with_unix_fd_list_sync(
            PORTAL, PORTAL_PATH, "org.freedesktop.portal.OpenURI", "OpenFile",
            GLib.Variant("(sha{sv})", ("", 0, options)), GLib.VariantType("(o)"),
            Gio.DBusCallFlags.NONE, 60000, Gio.UnixFDList.new_from_array([fd]), None)
        with cond:
            cond.wait_for(lambda: len(painted) > seen, timeout=30)
            if len(painted) <= seen:
                raise SystemExit("the chooser never painted")
            elapsed = painted[seen] - start
        bus.call_sync(PORTAL, reply.unpack()[0], "org.freedesktop.portal.Request", "Close",
                      None, None, Gio.DBusCallFlags.NONE, 10000, None)
        time.sleep(0.3)
        return elapsed

    results = {}
    try:
        for case in ("cold", "warm"):
            times = []
            for _ in range(runs):
                pid = owner_pid(BACKEND)
                if case == "cold" and pid:
                    os.kill(pid, signal.SIGTERM)
                    while owner_pid(BACKEND):
                        time.sleep(0.05)
                times.append(one_request())
            results[case] = {"runs": runs, "median_ms": round(statistics.median(times), 1),
                             "min_ms": round(min(times), 1), "max_ms": round(max(times), 1)}
    finally:
        pid = owner_pid(BACKEND)
        if pid:
            os.kill(pid, signal.SIGTERM)
        portal.terminate()
        daemon.terminate()
        shutil.rmtree(root, ignore_errors=True)
    print(json.dumps(results))


if __name__ == "__main__":
    main()
