#!/usr/bin/python3
"""A notification server that misbehaves on purpose, for the reminder tests.

Owns org.freedesktop.Notifications on the session bus. Every call of Notify
and CloseNotification is written to standard output as a JSON line; "ready"
comes first, once the name is owned. Commands on standard input:
  invoke ID ACTION [TOKEN]   ActivationToken (when TOKEN is given), then ActionInvoked
  close ID REASON            NotificationClosed
Options: --delay S answers Notify only after S seconds; --constant-id N gives
every notification the ID N. Ends when standard input closes.
"""
import argparse
import json
import sys

from gi.repository import Gio, GLib

IFACE = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
XML = f"""<node><interface name="{IFACE}">
<method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/>
 <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
 <arg type="as" direction="in"/><arg type="a{{sv}}" direction="in"/><arg type="i" direction="in"/>
 <arg type="u" direction="out"/></method>
<method name="CloseNotification"><arg type="u" direction="in"/></method>
<method name="GetCapabilities"><arg type="as" direction="out"/></method>
<method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
 <arg type="s" direction="out"/><arg type="s" direction="out"/></method>
<signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
<signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
<signal name="ActivationToken"><arg type="u"/><arg type="s"/></signal>
</interface></node>"""

options = argparse.ArgumentParser()
options.add_argument("--delay", type=float, default=0)
options.add_argument("--constant-id", type=int, default=0)
args = options.parse_args()
loop = GLib.MainLoop()
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
next_id = [0]


def say(record):
    print(json.dumps(record), flush=True)


def emit(name, signature, values):
    bus.emit_signal(None, PATH, IFACE, name, GLib.Variant(signature, values))


def on_call(connection, sender, path, iface, method, params, invocation):
    if method == "Notify":
        app, replaces, icon, summary, body, actions, hints, timeout = params.unpack()
        next_id[0] += 1
        nid = args.constant_id or next_id[0]
        say({"call": "Notify", "id": nid, "icon": icon, "summary": summary, "body": body,
             "actions": actions, "timeout": timeout})
        answer = lambda: invocation.return_value(GLib.Variant("(u)", (nid,))) and False
        if args.delay > 0:
            GLib.timeout_add(int(args.delay * 1000), answer)
        else:
            answer()
    elif method == "CloseNotification":
        (nid,) = params.unpack()
        say({"call": "CloseNotification", "id": nid})
        invocation.return_value(None)
        emit("NotificationClosed", "(uu)", (nid, 3))
    elif method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["actions", "body"],)))
    else:
        invocation.return_value(GLib.Variant("(ssss)", ("fake", "marvoline", "1", "1.2")))


def on_input(source, condition):
    line = sys.stdin.readline()
    if not line:
        loop.quit()
        return False
    words = line.split()
    if words[:1] == ["invoke"]:
        if len(words) > 3:
            emit("ActivationToken", "(us)", (int(words[1]), words[3]))
        emit("ActionInvoked", "(us)", (int(words[1]), words[2]))
    elif words[:1] == ["close"]:
        emit("NotificationClosed", "(uu)", (int(words[1]), int(words[2])))
    bus.flush_sync(None)
    return True


node = Gio.DBusNodeInfo.new_for_xml(XML)
bus.register_object(PATH, node.interfaces[0], on_call, None, None)
Gio.bus_own_name_on_connection(bus, IFACE, Gio.BusNameOwnerFlags.NONE,
                               lambda *a: say("ready"), lambda *a: loop.quit())
GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, on_input)
loop.run()
